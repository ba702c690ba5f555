#include "platform/graphics/PhotoFile.h"

#include "platform/Files.h"
#include "platform/graphics/Backend.h"

namespace graphics {

platform::Result<std::shared_ptr<Image>> decodePhoto(std::span<const std::uint8_t> bytes) {
    return backend().decodeImage(bytes, DecodeLimits{});
}

platform::Result<std::shared_ptr<Image>> readPhoto(const std::filesystem::path& file) {
    auto bytes = platform::readFile(file, maxPhotoFileBytes);
    if (!bytes) return platform::fail(bytes.error());
    auto image = decodePhoto(bytes.value());
    if (!image) return platform::fail(file.filename().string() + ": " + image.error());
    return image;
}

}  // namespace graphics
