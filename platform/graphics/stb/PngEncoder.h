// PNG files written by stb_image_write: the one PNG encoder of every build,
// so that a drawing saved in the browser and saved natively are the same
// bytes when their pictures are the same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Bitmap.h"

namespace graphics::stb {

platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

}  // namespace graphics::stb
