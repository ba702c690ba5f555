#include "platform/graphics/cairo/Codecs.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace graphics {

namespace {
bool hasPngSignature(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return bytes.size() >= 8 && std::memcmp(bytes.data(), signature, 8) == 0;
}

void premultiply(Bitmap& bitmap) {
    std::uint8_t* p = bitmap.data();
    for (std::size_t i = 0; i < bitmap.byteCount(); i += 4) {
        unsigned a = p[i + 3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c) p[i + c] = static_cast<std::uint8_t>((p[i + c] * a + 127) / 255);
    }
}

platform::Result<std::shared_ptr<Image>> decodePng(std::span<const std::uint8_t> bytes,
                                                   const DecodeLimits& limits) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return platform::fail(std::string("not a readable PNG picture (") + image.message + ")");
    auto refuse = [&](std::string why) {
        png_image_free(&image);
        return platform::fail(std::move(why));
    };
    if (image.width == 0 || image.height == 0) return refuse("the PNG picture has no pixels");
    if (image.width > static_cast<unsigned>(limits.maxStoredSide) ||
        image.height > static_cast<unsigned>(limits.maxStoredSide))
        return refuse("the PNG picture claims " + std::to_string(image.width) + " × " +
                      std::to_string(image.height) + " pixels, more than " +
                      std::to_string(limits.maxStoredSide) + " on a side");
    image.format = PNG_FORMAT_RGBA;
    auto bitmap = std::make_shared<Bitmap>(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!png_image_finish_read(&image, nullptr, bitmap->data(), static_cast<png_int_32>(bitmap->bytesPerRow()),
                               nullptr))
        return platform::fail(std::string("the PNG picture is damaged (") + image.message + ")");
    premultiply(*bitmap);
    return std::make_shared<Image>(std::move(bitmap));
}
}  // namespace

platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits) {
    if (hasPngSignature(bytes)) return decodePng(bytes, limits);
    return platform::fail("not a PNG or JPEG picture");
}

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
    if (bitmap.width() == 0 || bitmap.height() == 0) return platform::fail("a picture with no pixels");
    // PNG keeps alpha straight, not premultiplied.
    std::vector<std::uint8_t> straight(bitmap.data(), bitmap.data() + bitmap.byteCount());
    for (std::size_t i = 0; i < straight.size(); i += 4) {
        unsigned a = straight[i + 3];
        if (a == 255 || a == 0) continue;
        for (int c = 0; c < 3; ++c)
            straight[i + c] = static_cast<std::uint8_t>(std::min(255u, (straight[i + c] * 255u + a / 2) / a));
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.width());
    image.height = static_cast<png_uint_32>(bitmap.height());
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    auto stride = static_cast<png_int_32>(bitmap.bytesPerRow());
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, straight.data(), stride, nullptr))
        return platform::fail(std::string("cannot encode PNG: ") + image.message);
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, straight.data(), stride, nullptr))
        return platform::fail(std::string("cannot encode PNG: ") + image.message);
    out.resize(size);
    return out;
}

}  // namespace graphics
