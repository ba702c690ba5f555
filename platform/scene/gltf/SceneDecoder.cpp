#include "platform/scene/gltf/SceneDecoder.h"

#include <vector>

#include "platform/scene/gltf/Document.h"
#include "platform/scene/gltf/SceneBuilder.h"

namespace scene::gltf {

platform::Result<std::shared_ptr<Scene>> decodeScene(const GlbSource& source,
                                                     const Limits& limits) {
    TRY_LET(chunks, findGlbChunks(source, limits));
    std::vector<std::uint8_t> jsonBytes;
    TRY_LET(json, source.read(chunks.jsonOffset, chunks.jsonLength, jsonBytes));
    TRY_LET(document, readDocument(json, limits));
    jsonBytes = {};
    return buildScene(document, source, chunks, limits);
}

platform::Result<std::shared_ptr<Scene>> decodeScene(std::span<const std::uint8_t> bytes,
                                                     const Limits& limits) {
    return decodeScene(MemoryGlbSource(bytes), limits);
}

}  // namespace scene::gltf
