// Photos as the image picker opens them: a file read only as far as a
// photo file can go, decoded with the limits every picked photo gets. The
// one path from a file the user picks to an image.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "platform/Result.h"
#include "platform/graphics/Image.h"

namespace graphics {

// Larger files are not photos; a picture longer than 2048 pixels comes
// back brought down to that (see DecodeLimits).
inline constexpr std::uint64_t maxPhotoFileBytes = std::uint64_t{64} << 20;

// The picture in `bytes`, decoded as a picked photo is.
platform::Result<std::shared_ptr<Image>> decodePhoto(std::span<const std::uint8_t> bytes);

// The photo in `file`. Refuses, before reading it, a file that is missing,
// unreadable, not a regular file (a folder, /dev/zero, a pipe) or larger
// than a photo file; the reason names the file.
platform::Result<std::shared_ptr<Image>> readPhoto(const std::filesystem::path& file);

}  // namespace graphics
