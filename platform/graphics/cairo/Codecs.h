// Picture files in and out: PNG and JPEG decoding into our bitmap layout,
// with the EXIF orientation as the image's tag, and PNG encoding. Every size
// a file claims is checked before anything is allocated for it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Backend.h"

namespace graphics {

platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits);
platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

}  // namespace graphics
