// What the writer and the reader of scene files agree on: the name and
// fields of our glTF extension, and the limits that keep the reader safe
// from files that claim more than a drawing ever holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scene::gltf {

// Our one glTF extension. It appears on the glTF root (the file's layout
// version), on nodes (exact rotation, opacity, constraints), on meshes (the
// plane's exact size, and the constraints of the nodes that show it) and on
// textures (the picture's scale, orientation tag and whether its bitmap has
// alpha).
// It is listed in extensionsUsed, never in extensionsRequired: viewers that
// do not know it still show every plane where it hangs.
inline constexpr const char* extensionName = "SCRAWLET_drawing";
// Layout 2 keeps the billboard constraints of nodes with a plane on the
// plane's mesh: every sprite has the same one, so the file says it once for
// all of them rather than once a sprite. Layout 1 files are still read.
inline constexpr int layoutVersion = 2;
inline constexpr int oldestLayoutVersion = 1;

// Field names inside the extension.
namespace field {
inline constexpr const char* version = "version";
inline constexpr const char* rotation = "rotation";
inline constexpr const char* opacity = "opacity";
// Layout 1: a list of {"type": "billboard", "freeAxes": N} on nodes.
inline constexpr const char* constraints = "constraints";
inline constexpr const char* type = "type";
inline constexpr const char* freeAxes = "freeAxes";
// Layout 2: the free axes of each billboard constraint, in order, on the
// mesh of the nodes that have them, or on a node without a mesh.
inline constexpr const char* billboards = "billboards";
inline constexpr const char* width = "width";
inline constexpr const char* height = "height";
inline constexpr const char* imageScale = "imageScale";
inline constexpr const char* imageOrientation = "imageOrientation";
// Present (true) when the picture's bitmap has no alpha of its own.
inline constexpr const char* imageOpaque = "imageOpaque";
}  // namespace field

inline constexpr const char* billboardConstraintType = "billboard";

// Viewers show our planes flat-lit, as the app does.
inline constexpr const char* unlitExtensionName = "KHR_materials_unlit";

// Limits, shared by the writer and the reader: the writer refuses only what
// the reader would refuse. They admit any drawing the app can make of up to
// 64 full-size photos and 100,000 sprites with room to spare, and keep what
// a hostile file can make the reader allocate or do bounded.
struct Limits {
    // The most a GLB file can say it has.
    std::uint64_t maxFileBytes = 0xFFFF'FFFF;
    // A hundred thousand sprites take about 7 MB of JSON.
    std::size_t maxJsonBytes = std::size_t{32} << 20;
    // Arrays and objects inside each other; a drawing needs seven.
    int maxJsonDepth = 64;
    // GLB chunks; a drawing has two.
    std::size_t maxChunks = 1024;

    std::size_t maxNodes = 200'000;
    // Kinds of plane, material and picture: a drawing has a few for its
    // sprites and one for each photo.
    std::size_t maxMeshes = 20'000;
    std::size_t maxMaterials = 20'000;
    std::size_t maxTextures = 20'000;
    std::size_t maxImages = 20'000;
    // A writer needs one accessor for each plane size and a few more, and
    // a buffer view for each accessor and each picture.
    std::size_t maxAccessors = 50'000;
    std::size_t maxBufferViews = 70'000;
    std::size_t maxBuffers = 1;
    std::size_t maxScenes = 16;
    std::size_t maxSamplers = 64;
    // Arrays we never write (animations, skins, cameras, …).
    std::size_t maxOtherEntries = 1'000;
    std::size_t maxPrimitivesPerMesh = 16;
    // Attributes of a primitive, and morph targets.
    std::size_t maxAttributes = 16;
    // Constraints of one node.
    std::size_t maxConstraints = 16;
    // Indices from one part of the file to another, other than a node's
    // mesh and children: a mesh has five, a texture two, and every image,
    // accessor and buffer view one.
    std::size_t maxReferences = 500'000;
    std::uint64_t maxAccessorCount = std::uint64_t{1} << 28;

    // Levels of nodes below the root. Each save and load of a drawing nests
    // it one level deeper, so this is generous; it also keeps the recursive
    // destruction of a node chain far from the stack's end.
    int maxNodeDepth = 1000;

    // Pictures: no side longer than the app ever makes one (photos are
    // brought down to 4096 pixels when they are picked), and all of them
    // together no more pixels than 64 such photos and as many again for
    // every other picture of the drawing.
    int maxImageSide = 4096;
    std::uint64_t maxImagePixels = std::uint64_t{4096} * 4096;
    std::uint64_t maxTotalImagePixels = std::uint64_t{65} * 4096 * 4096;
};

}  // namespace scene::gltf
