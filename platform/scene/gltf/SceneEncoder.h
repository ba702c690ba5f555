// Turns a scene graph into the bytes of a GLB scene file: planes as textured
// quads that any glTF viewer shows, and everything glTF has no words for in
// our extension, so that reading the bytes back gives the same graph.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Result.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

// Fails with a reason for a graph the file cannot hold: a value that is not
// a number, a geometry or constraint of a kind we do not store, a graph
// deeper or larger than the reader accepts.
platform::Result<std::vector<std::uint8_t>> encodeScene(const Scene& scene,
                                                        const Limits& limits = {});

}  // namespace scene::gltf
