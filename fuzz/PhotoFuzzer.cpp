// libFuzzer target: photo decoding through the image picker's own entry
// (JPEG and PNG, EXIF orientation, scaling down), on any bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/graphics/PhotoFile.h"
#include "platform/graphics/cairo/CairoBackend.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    graphics::installBackend(graphics::makeCairoBackend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto image = graphics::decodePhoto(std::span(data, size));
    (void)image.ok();
    return 0;
}
