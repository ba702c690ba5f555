// libFuzzer target: the scene-file reader on any bytes. It must refuse or
// read them without a crash, a leak or undefined behaviour, and within its
// limits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/graphics/Context.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/gltf/SceneDecoder.h"

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
    auto scene = scene::gltf::decodeScene(std::span(data, size));
    (void)scene.ok();
    return 0;
}
