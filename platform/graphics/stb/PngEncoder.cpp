#include "platform/graphics/stb/PngEncoder.h"

#include <cstdlib>

#include "platform/Precondition.h"
#include "platform/graphics/PictureFiles.h"
// stb_image_write's implementation, compiled here and only here.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "platform/graphics/stb/Stb.h"

namespace graphics::stb {

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return platform::fail("a picture with no pixels");
    // An opaque bitmap's alpha bytes mean nothing: it is written without an
    // alpha channel, which also keeps a photo's file a quarter smaller. PNG
    // keeps alpha straight, not premultiplied. (stb writes from a whole
    // picture, so this is a copy of it.)
    bool opaque = bitmap.format().alphaInfo == AlphaInfo::noneSkipLast;
    std::vector<std::uint8_t> pixels;
    if (opaque) {
        pixels.reserve(static_cast<std::size_t>(bitmap.width()) * bitmap.height() * 3);
        for (std::size_t i = 0; i < bitmap.byteCount(); i += 4)
            pixels.insert(pixels.end(), bitmap.data() + i, bitmap.data() + i + 3);
    } else {
        pixels = pictures::unpremultiplied(bitmap);
    }
    int components = opaque ? 3 : 4;
    int length = 0;
    unsigned char* png =
        stbi_write_png_to_mem(pixels.data(), bitmap.width() * components, bitmap.width(),
                              bitmap.height(), components, &length);
    if (png == nullptr) return platform::fail("cannot encode PNG: out of memory");
    std::vector<std::uint8_t> out(png, png + length);
    std::free(png);
    return out;
}

platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality) {
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return platform::fail("a picture with no pixels");
    platform::require(quality >= 1 && quality <= 100, "encodeJpeg",
                      "the quality must be from 1 to 100");
    std::vector<std::uint8_t> out;
    // stb reads four components a pixel and uses the first three.
    int written = stbi_write_jpg_to_func(
        [](void* into, void* data, int size) {
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            static_cast<std::vector<std::uint8_t>*>(into)->insert(
                static_cast<std::vector<std::uint8_t>*>(into)->end(), bytes, bytes + size);
        },
        &out, bitmap.width(), bitmap.height(), 4, bitmap.data(), quality);
    if (written == 0 || out.empty()) return platform::fail("cannot encode JPEG");
    return out;
}

}  // namespace graphics::stb
