// Picture files read through stb_image, for a build without libjpeg, libpng
// and libexif (the browser): the same refusals, limits and orientation tags
// as the native decoders, with the EXIF orientation read by our own small
// reader. PNG files are written by PngEncoder.h in every build.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Backend.h"

namespace graphics::stb {

// As graphics::decodePicture: a JPEG or PNG file's bytes as an image of
// scale 1 tagged with its EXIF orientation, scaled down to `limits.maxSide`,
// or a sentence that says what is wrong with the file.
platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits);

}  // namespace graphics::stb
