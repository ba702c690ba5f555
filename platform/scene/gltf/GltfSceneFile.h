// Scene files as glTF 2.0 binary (GLB). Planes become
// textured quads that ordinary glTF viewers show where they hang; what glTF
// has no words for (billboard constraints) goes into an extension of ours.
// The reader treats every file as untrusted.
#pragma once

#include <memory>

#include "platform/scene/Scene.h"

namespace scene {

std::unique_ptr<SceneFileFormat> makeGltfSceneFileFormat();

}  // namespace scene
