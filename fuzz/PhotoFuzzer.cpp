// libFuzzer target: photo decoding through the image picker's own entry
// (JPEG and PNG, EXIF orientation, scaling down), on any bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/graphics/Context.h"
#include "platform/graphics/PhotoFile.h"
#include "platform/graphics/cairo/CairoBackend.h"

namespace {
// Decoding draws with the real back end, put in force for each input.
graphics::Context context;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    context.backend = graphics::makeCairoBackend();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    graphics::ContextScope inForce(context);
    auto image = graphics::decodePhoto(std::span(data, size));
    (void)image.ok();
    return 0;
}
