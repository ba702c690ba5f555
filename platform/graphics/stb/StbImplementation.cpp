// stb_image's implementation, compiled once with only the parts we use: JPEG
// and PNG from memory in. (stb_image_write's is in PngEncoder.cpp.)
#define STB_IMAGE_IMPLEMENTATION
#include "platform/graphics/stb/Stb.h"
