#include "platform/graphics/stb/PngEncoder.h"

#include <cstdlib>

#include "platform/graphics/PictureFiles.h"
// stb_image_write's implementation, compiled here and only here.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "platform/graphics/stb/Stb.h"

namespace graphics::stb {

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return platform::fail("a picture with no pixels");
    // PNG keeps alpha straight, not premultiplied.
    std::vector<std::uint8_t> straight = pictures::unpremultiplied(bitmap);
    int length = 0;
    unsigned char* png =
        stbi_write_png_to_mem(straight.data(), static_cast<int>(bitmap.bytesPerRow()),
                              bitmap.width(), bitmap.height(), 4, &length);
    if (png == nullptr) return platform::fail("cannot encode PNG: out of memory");
    std::vector<std::uint8_t> out(png, png + length);
    std::free(png);
    return out;
}

}  // namespace graphics::stb
