// libFuzzer target: the scene-file reader on any bytes. It must refuse or
// read them without a crash, a leak or undefined behaviour, and within its
// limits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/gltf/SceneDecoder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    graphics::installBackend(graphics::makeCairoBackend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto scene = scene::gltf::decodeScene(std::span(data, size));
    (void)scene.ok();
    return 0;
}
