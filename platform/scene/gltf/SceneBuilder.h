// Turns the records of a scene file into its scene graph: checks every
// index and byte range they give against what the file has, orders the
// nodes (refusing a node with two parents, a cycle, and a hierarchy deeper
// than the limit), lets the pictures the planes show through the picture
// gate, and gives each node its plane, material and constraints. Nothing is
// attached until everything has been checked.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/Document.h"
#include "platform/scene/gltf/GlbContainer.h"

namespace scene::gltf {

platform::Result<std::shared_ptr<Scene>> buildScene(Document& document, const GlbSource& source,
                                                    const GlbChunks& chunks, const Limits& limits);

}  // namespace scene::gltf
