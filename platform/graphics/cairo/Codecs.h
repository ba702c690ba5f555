// Picture files in and out: PNG and JPEG decoding into our bitmap layout,
// with the EXIF orientation as the image's tag, and PNG encoding (by the
// encoder the browser build uses too). Every size a file claims is checked
// against the limits before anything is allocated.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Backend.h"

namespace graphics {

// A JPEG or PNG file's bytes as an image of scale 1, tagged with the file's
// EXIF orientation (up when it has none). A picture longer than
// `limits.maxSide` comes back scaled down to that length, keeping its
// proportions. A file that is not such a picture, is damaged or cut short,
// or claims a size beyond the limits is refused with a sentence that says
// what is wrong with it.
platform::Result<std::shared_ptr<Image>> decodePicture(std::span<const std::uint8_t> bytes,
                                                       const DecodeLimits& limits);
platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

}  // namespace graphics
