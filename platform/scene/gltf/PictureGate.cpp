#include "platform/scene/gltf/PictureGate.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "platform/graphics/Backend.h"
#include "platform/graphics/PictureFiles.h"

namespace scene::gltf {

using platform::fail;
using platform::Result;

namespace {
struct PictureSize {
    std::uint32_t width = 0, height = 0;
};

// The size a PNG picture claims in its header, read before the decoder
// allocates anything for it.
std::optional<PictureSize> claimedPngSize(std::span<const std::uint8_t> bytes) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 24 || std::memcmp(bytes.data(), signature, 8) != 0 ||
        std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    auto bigEndian = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) << 24 |
               static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
               static_cast<std::uint32_t>(bytes[at + 3]);
    };
    return PictureSize{bigEndian(16), bigEndian(20)};
}

// Photos are kept as JPEG files; drawings saved before kept them as PNG.
// A JPEG picture's size is in its frame header, after its other markers:
// this many bytes hold it in every file we write.
constexpr std::size_t pictureHeadBytes = 64 * 1024;

std::optional<PictureSize> claimedSize(std::span<const std::uint8_t> bytes) {
    if (graphics::pictures::hasJpegSignature(bytes)) {
        auto layout = graphics::pictures::readJpegLayout(bytes);
        if (!layout.sawFrame) return std::nullopt;
        return PictureSize{static_cast<std::uint32_t>(layout.width),
                           static_cast<std::uint32_t>(layout.height)};
    }
    return claimedPngSize(bytes);
}

std::string mimeTypeOf(std::span<const std::uint8_t> bytes) {
    return graphics::pictures::hasJpegSignature(bytes) ? "image/jpeg" : "image/png";
}
}  // namespace

// The bytes a picture is kept in, as a range of the file.
std::pair<std::uint64_t, std::uint64_t> PictureGate::pictureRange(std::uint32_t image) const {
    const BufferViewData& view = d_.bufferViews[d_.images[image]];
    return std::pair{*chunks_.binOffset + view.byteOffset, view.byteLength};
}

// Every picture the scene shows is checked against the limits by the
// size its header claims, each alone and all together, before any of
// them is decoded.
Result<void> PictureGate::admit(const std::vector<bool>& used) {
    std::uint64_t totalPixels = 0;
    auto side = static_cast<std::uint32_t>(limits_.maxImageSide);
    for (std::uint32_t i = 0; i < used.size(); ++i) {
        if (!used[i]) continue;
        std::string owner = describe("image", i);
        auto [offset, length] = pictureRange(i);
        TRY_LET(head,
                source_.read(offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, 24)),
                             scratch_));
        if (graphics::pictures::hasJpegSignature(head)) {
            TRY_LET(jpegHead, source_.read(offset,
                                           static_cast<std::size_t>(
                                               std::min<std::uint64_t>(length, pictureHeadBytes)),
                                           scratch_));
            head = jpegHead;
        }
        auto claimed = claimedSize(head);
        if (!claimed) return fail(owner + " is not a PNG or JPEG picture");
        if (claimed->width == 0 || claimed->height == 0) return fail(owner + " has no pixels");
        std::uint64_t pixels = std::uint64_t{claimed->width} * claimed->height;
        if (claimed->width > side || claimed->height > side || pixels > limits_.maxImagePixels)
            return fail(owner + " claims " + std::to_string(claimed->width) + " × " +
                        std::to_string(claimed->height) +
                        " pixels, more than a drawing's picture may have");
        totalPixels += pixels;
        if (totalPixels > limits_.maxTotalImagePixels)
            return fail("its pictures together have more pixels than a drawing may have");
    }

    bitmaps_.resize(d_.images.size());
    for (std::uint32_t i = 0; i < used.size(); ++i) {
        if (!used[i]) continue;
        std::string owner = describe("image", i);
        auto [offset, length] = pictureRange(i);
        TRY_LET(bytes, source_.read(offset, static_cast<std::size_t>(length), scratch_));
        auto claimed = claimedSize(bytes).value();
        graphics::DecodeLimits decodeLimits;
        decodeLimits.maxSide = limits_.maxImageSide;
        decodeLimits.maxStoredSide = limits_.maxImageSide;
        auto decoded = graphics::backend().decodeImage(bytes, decodeLimits);
        if (!decoded) return fail(owner + " cannot be decoded: " + decoded.error());
        std::shared_ptr<const graphics::Bitmap> bitmap = decoded.value()->cgImage();
        if (static_cast<std::uint32_t>(bitmap->width()) != claimed.width ||
            static_cast<std::uint32_t>(bitmap->height()) != claimed.height)
            return fail(owner + " decoded to a size other than it claims");
        // Saved again, the picture is these same bytes, not encoded anew.
        bitmap->keepStoredAs(std::make_shared<graphics::PictureFile>(
            graphics::PictureFile{mimeTypeOf(bytes), {bytes.begin(), bytes.end()}}));
        bitmaps_[i] = std::move(bitmap);
    }
    scratch_ = {};
    return {};
}

// The bitmap of an image in the alpha layout a texture asks for: a
// picture saved from an opaque bitmap comes back opaque.
std::shared_ptr<const graphics::Bitmap> PictureGate::bitmapOf(std::uint32_t image, bool opaque) {
    const auto& decoded = bitmaps_[image];
    bool isOpaque = decoded->format().alphaInfo == graphics::AlphaInfo::noneSkipLast;
    if (opaque == isOpaque) return decoded;
    opaqueBitmaps_.resize(bitmaps_.size());
    auto& other = opaqueBitmaps_[image];
    if (!other) {
        graphics::BitmapFormat format;
        format.alphaInfo =
            opaque ? graphics::AlphaInfo::noneSkipLast : graphics::AlphaInfo::premultipliedLast;
        auto copy = std::make_shared<graphics::Bitmap>(decoded->width(), decoded->height(), format);
        std::memcpy(copy->data(), decoded->data(), decoded->byteCount());
        if (decoded->storedAs()) copy->keepStoredAs(decoded->storedAs());
        other = std::move(copy);
    }
    return other;
}

std::shared_ptr<const graphics::Image> PictureGate::pictureOf(std::uint32_t texture) {
    pictures_.resize(d_.textures.size());
    if (!pictures_[texture]) {
        const TextureData& data = d_.textures[texture];
        pictures_[texture] = std::make_shared<graphics::Image>(bitmapOf(data.source, data.opaque),
                                                               data.scale, data.orientation);
    }
    return pictures_[texture];
}

}  // namespace scene::gltf
