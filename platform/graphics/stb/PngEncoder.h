// PNG and JPEG files written by stb_image_write: the one encoder of every
// build, so that a drawing saved in the browser and saved natively are the
// same bytes when their pictures are the same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Bitmap.h"

namespace graphics::stb {

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

// An opaque bitmap as a baseline JPEG (4:2:0) of `quality` (1 to 100); its
// alpha bytes are left out.
platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality);

}  // namespace graphics::stb
