// The plain records a scene file's JSON is read into: the nodes of the
// graph, and small records of everything else, which refer to one another
// by index. The document reader fills them as it meets them; the scene
// builder checks what they say about one another and makes the graph.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Image.h"
#include "platform/scene/Node.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

// An index that refers to nothing.
constexpr std::uint32_t none = UINT32_MAX;

inline std::string describe(const char* kind, std::size_t index) {
    return std::string(kind) + " " + std::to_string(index);
}

// The parts of a glTF file that refer to one another by index.
enum class Kind : std::uint8_t {
    node,
    mesh,
    material,
    texture,
    image,
    sampler,
    accessor,
    bufferView,
    buffer,
    scene,
    camera,
    skin,
};

const char* nameOf(Kind kind);

// An index found while reading, checked once every array's length is known.
struct Reference {
    std::uint32_t index;
    std::uint32_t ownerIndex;
    Kind target;
    Kind owner;
};

struct NodeData {
    std::uint32_t mesh = none;
    std::uint32_t firstChild = 0;
    std::uint32_t childCount = 0;
};

struct MeshData {
    bool sized = false;
    double width = 0, height = 0;
    std::size_t primitives = 0;
    std::uint32_t material = none;  // of the first primitive
    std::vector<int> billboards;
};

struct MaterialData {
    bool doubleSided = false;
    std::uint32_t texture = none;
};

struct TextureData {
    std::uint32_t source = none;
    double scale = 1;
    graphics::ImageOrientation orientation = graphics::ImageOrientation::up;
    bool opaque = false;
};

struct AccessorData {
    std::uint32_t bufferView = none;
    std::uint64_t byteOffset = 0;
    std::uint64_t count = 0;
    std::uint64_t elementBytes = 0;
};

struct BufferViewData {
    std::uint32_t buffer = none;
    std::uint64_t byteOffset = 0;
    std::uint64_t byteLength = 0;
    std::uint64_t byteStride = 0;
};

struct Document {
    int layout = 0;
    std::optional<std::uint32_t> defaultScene;
    std::vector<std::shared_ptr<Node>> nodes;
    std::vector<NodeData> nodeData;
    std::vector<std::uint32_t> children;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> scenes;  // first, count in sceneRoots
    std::vector<std::uint32_t> sceneRoots;
    std::vector<MeshData> meshes;
    std::vector<MaterialData> materials;
    std::vector<TextureData> textures;
    std::vector<std::uint32_t> images;  // buffer view of each
    std::vector<AccessorData> accessors;
    std::vector<BufferViewData> bufferViews;
    std::vector<std::uint64_t> buffers;
    std::size_t samplers = 0, cameras = 0, skins = 0;
    std::vector<Reference> references;
};

// Reads the JSON of a scene file in one pass into the nodes of the graph and
// the records of everything else, refusing anything that is not as a
// drawing has it as soon as it is seen.
platform::Result<Document> readDocument(std::span<const std::uint8_t> json, const Limits& limits);

}  // namespace scene::gltf
