// Turns a GLB scene file back into a scene graph. The file is untrusted:
// its JSON is read in one pass without building a document, every count,
// index and byte range is checked before it is used, every picture's
// claimed size and the drawing's total picture budget are checked before
// any picture is decoded, and anything wrong is refused with a reason.
// Pictures are read from the source one at a time, each distinct one once.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/Result.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/GlbContainer.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

platform::Result<std::shared_ptr<Scene>> decodeScene(const GlbSource& source,
                                                     const Limits& limits = {});
platform::Result<std::shared_ptr<Scene>> decodeScene(std::span<const std::uint8_t> bytes,
                                                     const Limits& limits = {});

}  // namespace scene::gltf
