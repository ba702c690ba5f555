// stb_image's and stb_image_write's implementations, compiled once with only
// the parts we use: JPEG and PNG from memory in, PNG to memory out.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "platform/graphics/stb/Stb.h"
