// What the writer and the reader of scene files agree on: the name and
// fields of our glTF extension, and the limits that keep the reader safe
// from files that claim more than a drawing ever holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scene::gltf {

// Our one glTF extension. It appears on the glTF root (the file's layout
// version), on nodes (exact rotation, opacity, constraints), on meshes (the
// plane's exact size) and on textures (the picture's scale, orientation tag
// and whether its bitmap has alpha).
// It is listed in extensionsUsed, never in extensionsRequired: viewers that
// do not know it still show every plane where it hangs.
inline constexpr const char* extensionName = "SCRAWLET_drawing";
inline constexpr int layoutVersion = 1;

// Field names inside the extension.
namespace field {
inline constexpr const char* version = "version";
inline constexpr const char* rotation = "rotation";
inline constexpr const char* opacity = "opacity";
inline constexpr const char* constraints = "constraints";
inline constexpr const char* type = "type";
inline constexpr const char* freeAxes = "freeAxes";
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

// Limits. A drawing of ten thousand sprites needs a few megabytes of JSON,
// one node per sprite and a handful of images; the limits leave room for ten
// times that while keeping what a hostile file can make us allocate bounded.
struct Limits {
    std::size_t maxFileBytes = std::size_t{1} << 30;
    std::size_t maxJsonBytes = std::size_t{64} << 20;
    // Arrays and objects inside each other; tinygltf copies extras and
    // extensions recursively, so this also bounds its stack.
    int maxJsonDepth = 64;
    // Every value in the JSON (roughly: commas plus brackets), which bounds
    // what the JSON parser and tinygltf allocate for it.
    std::size_t maxJsonValues = std::size_t{4} << 20;

    std::size_t maxNodes = 200'000;
    std::size_t maxMeshes = 200'000;
    std::size_t maxMaterials = 200'000;
    std::size_t maxTextures = 200'000;
    std::size_t maxImages = 20'000;
    std::size_t maxAccessors = 1'000'000;
    std::size_t maxBufferViews = 1'000'000;
    std::size_t maxBuffers = 1;
    std::size_t maxScenes = 16;
    std::size_t maxSamplers = 64;
    // Arrays we never write (animations, skins, cameras, …).
    std::size_t maxOtherEntries = 1'000;
    std::size_t maxPrimitivesPerMesh = 16;
    std::size_t maxAccessorCount = std::size_t{1} << 28;

    // Levels of nodes below the root. Each save and load of a drawing nests
    // it one level deeper, so this is generous; it also keeps the recursive
    // destruction of a node chain far from the stack's end.
    int maxNodeDepth = 1000;

    // Pictures: the side and pixel count one picture may claim, and the
    // pixels all decoded pictures of one file may take together.
    int maxImageSide = 16384;
    std::uint64_t maxImagePixels = std::uint64_t{64} << 20;
    std::uint64_t maxTotalImagePixels = std::uint64_t{256} << 20;
};

}  // namespace scene::gltf
