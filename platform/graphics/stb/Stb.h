// The one way our code includes stb_image and stb_image_write: always with
// the same settings, and with their warnings kept out of our -Werror build.
#pragma once

#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_WRITE_NO_STDIO
#define STBI_FAILURE_USERMSG

// From here on this header counts as a system header, so the compiler keeps
// quiet about stb's code (also where StbImplementation.cpp instantiates it).
#pragma GCC system_header
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

// stb_image_write declares this only inside its implementation; what it
// returns is freed with free().
extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride_bytes,
                                                int x, int y, int n, int* out_len);
