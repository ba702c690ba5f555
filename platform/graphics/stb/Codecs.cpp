#include "platform/graphics/stb/Codecs.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/graphics/PictureFiles.h"
#include "platform/graphics/stb/Stb.h"

namespace graphics::stb {

namespace {

using namespace pictures;

// A reason with stb's own words about the fault after it.
platform::Error failure(std::string reason) {
    const char* detail = stbi_failure_reason();
    if (detail == nullptr || *detail == '\0') return platform::fail(std::move(reason));
    return platform::fail(std::move(reason) + ": " + detail);
}

// Pixels stb allocated, freed however we leave.
struct StbPixels {
    std::uint8_t* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

// The picture's size as its header claims it, checked against the limits
// before anything is allocated; `bufferedBytes` is what the decoder keeps
// besides the pixels while it reads.
platform::Result<PixelSize> checkedSize(Bytes bytes, std::string_view kind,
                                        const DecodeLimits& limits, std::uint64_t bufferedBytes) {
    int width = 0, height = 0, components = 0;
    if (hasPngSignature(bytes) && bytes.size() >= 24) {
        // Read here rather than by stb, which refuses very large sizes
        // without saying what they are.
        auto bigEndian = [&](std::size_t at) {
            return (std::int64_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) |
                   bytes[at + 3];
        };
        std::int64_t w = bigEndian(16), h = bigEndian(20);
        if (w > limits.maxStoredSide || h > limits.maxStoredSide)
            return platform::fail("the PNG picture claims " + sizeText(w, h) +
                                  " pixels, more than " + std::to_string(limits.maxStoredSide) +
                                  " on a side");
    }
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                               &components))
        return failure("the " + std::string(kind) + " picture's header is damaged");
    if (width <= 0 || height <= 0)
        return platform::fail("the " + std::string(kind) + " picture has no pixels");
    if (width > limits.maxStoredSide || height > limits.maxStoredSide)
        return platform::fail("the " + std::string(kind) + " picture claims " +
                              sizeText(width, height) + " pixels, more than " +
                              std::to_string(limits.maxStoredSide) + " on a side");
    std::uint64_t decodedBytes =
        std::uint64_t{4} * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (decodedBytes > limits.maxDecodeBytes || bufferedBytes > limits.maxDecodeBytes)
        return platform::fail(tooLarge(kind, width, height));
    return PixelSize{width, height};
}

// Decoded RGBA pixels (premultiplied, or opaque) as our bitmap, scaled down
// to the limit.
std::shared_ptr<Bitmap> bitmapOf(const std::uint8_t* pixels, PixelSize size,
                                 const DecodeLimits& limits, BitmapFormat format) {
    PixelSize wanted = fittedSize(size.width, size.height, limits.maxSide);
    auto bitmap = std::make_shared<Bitmap>(wanted.width, wanted.height, format);
    if (wanted.width == size.width && wanted.height == size.height)
        std::memcpy(bitmap->data(), pixels, bitmap->byteCount());
    else
        shrinkByArea(pixels, size.width, size.height, static_cast<std::size_t>(size.width) * 4,
                     *bitmap);
    return bitmap;
}

platform::Result<std::shared_ptr<Image>> decodeJpeg(Bytes bytes, const DecodeLimits& limits) {
    JpegLayout layout = readJpegLayout(bytes);
    // Checked before stb reads a byte: it builds tables without looking.
    if (!layout.huffmanTablesFit) return platform::fail("the JPEG picture is damaged");
    if (layout.sampling.size() == 4)
        return platform::fail("the JPEG picture is in CMYK colours, which cannot be shown");
    // Progressive and multi-scan files keep every coefficient until the end.
    bool buffered = layout.progressive || layout.scans > 1;
    int claimedWidth = 0, claimedHeight = 0, components = 0;
    stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &claimedWidth,
                          &claimedHeight, &components);
    // stb shows what it could read of a file that ends early; such a file
    // is refused, as a decoder that stops at the first warning does.
    auto unfinished = [&] {
        return platform::fail(layout.endsEarly ? jpegCutShort()
                                               : "the JPEG picture is damaged or cut short");
    };
    if (!layout.complete && !buffered) return unfinished();
    auto size = checkedSize(bytes, "JPEG", limits,
                            buffered ? coefficientBytes(layout, claimedWidth, claimedHeight) : 0);
    if (!size) return platform::fail(size.error());
    if (!layout.complete) return unfinished();
    StbPixels pixels;
    int width = 0, height = 0, stored = 0;
    pixels.data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                        &height, &stored, 4);
    if (pixels.data == nullptr) return failure("the JPEG picture is damaged or cut short");
    BitmapFormat opaque{8, ColorSpace::deviceRGB, AlphaInfo::noneSkipLast};
    return std::make_shared<Image>(bitmapOf(pixels.data, {width, height}, limits, opaque), 1.0,
                                   orientationFromExifBlock(layout.exif));
}

platform::Result<std::shared_ptr<Image>> decodePng(Bytes bytes, const DecodeLimits& limits) {
    auto size = checkedSize(bytes, "PNG", limits, 0);
    if (!size) return platform::fail(size.error());
    StbPixels pixels;
    int width = 0, height = 0, stored = 0;
    pixels.data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                        &height, &stored, 4);
    if (pixels.data == nullptr) return failure("the PNG picture is damaged or cut short");
    premultiply(pixels.data,
                static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    // A picture without an alpha channel is opaque, as a JPEG photo is.
    BitmapFormat format;
    if (stored == 1 || stored == 3) format.alphaInfo = AlphaInfo::noneSkipLast;
    std::vector<std::uint8_t> exif = pngExif(bytes);
    return std::make_shared<Image>(bitmapOf(pixels.data, {width, height}, limits, format), 1.0,
                                   orientationFromExifBlock(exif));
}

}  // namespace

platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits) {
    platform::require(limits.maxSide >= 1 && limits.maxStoredSide >= 1, "decodePicture",
                      "the decoding limits must allow at least one pixel");
    // stb counts in int; no picture we would open is that large.
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX))
        return platform::fail("the picture file is too large to open");
    if (hasPngSignature(bytes)) return decodePng(bytes, limits);
    if (hasJpegSignature(bytes)) return decodeJpeg(bytes, limits);
    return platform::fail(unsupportedKind(bytes));
}

}  // namespace graphics::stb
