// Turns the bytes of a GLB scene file back into a scene graph. The bytes are
// untrusted: every size, count, index and picture is checked before it is
// used, and anything wrong is refused with a reason instead of a crash.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/Result.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

platform::Result<std::shared_ptr<Scene>> decodeScene(std::span<const std::uint8_t> bytes,
                                                     const Limits& limits = {});

}  // namespace scene::gltf
