// What the scene pass draws, kept in step with the scene graph by its change
// notifications instead of a walk of the scene every frame: one entry per
// drawable plane (where its centre is in the world and which look it has),
// and the looks that planes share (size, picture, how it turns, opacity).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/scene/Node.h"

namespace render {

// How a plane looks wherever it stands: every sprite of a stroke shares one.
struct Look {
    // How the plane turns to the viewer.
    enum class Facing : std::uint8_t {
        // As its node is turned; the axes below are in the world.
        fixed,
        // Square to the screen, facing the point of view.
        camera,
        // Upright, turned about the world's vertical towards the eye.
        upright,
    };
    // None: the plane is white.
    std::shared_ptr<const graphics::Bitmap> bitmap;
    graphics::ImageOrientation orientation = graphics::ImageOrientation::up;
    Facing facing = Facing::fixed;
    bool doubleSided = false;
    float opacity = 1;
    // The half-axes of a fixed plane in the world; for the others the half
    // width is right.x and the half height up.y.
    scene::Vector3 right, up;

    friend bool operator==(const Look&, const Look&) = default;
};

class SceneCache final : public scene::SceneObserver {
public:
    static constexpr std::uint32_t none = 0xFFFFFFFF;

    // One drawable plane: its centre in the world and its look's index.
    struct Entry {
        scene::Vector3 centre;
        std::uint32_t look = none;
    };
    struct LookSlot {
        Look look;
        std::uint32_t users = 0;
    };

    SceneCache() = default;
    ~SceneCache() override;
    SceneCache(const SceneCache&) = delete;
    SceneCache& operator=(const SceneCache&) = delete;

    // Follows the tree under `root` from now on; a different root than
    // before is read whole.
    void observe(const scene::Node& root);
    // Brings in what no notification tells: a changed plane or material
    // (counted in the appearance generation), and the sidedness of fixed
    // planes' materials. Cheap when nothing changed.
    void refresh();

    // Entries by slot; free slots have no look. Slots keep the order in
    // which planes came into the scene.
    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<LookSlot>& looks() const { return looks_; }
    std::size_t planes() const { return slots_.size(); }

    // Counts every change of the entries, and of the looks.
    std::uint64_t entriesGeneration() const { return entriesGeneration_; }
    // Counts the changes of the entries other than planes added at the end:
    // a plane taken out or changed, the slots closed up, the tree read anew.
    std::uint64_t reshapedGeneration() const { return reshapedGeneration_; }
    // Counts the changes that give planes other slots: the slots closed up,
    // the tree read anew. Between two, a slot's plane is the same or gone.
    std::uint64_t renumberedGeneration() const { return renumberedGeneration_; }
    std::uint64_t looksGeneration() const { return looksGeneration_; }

    // scene::SceneObserver
    void nodeChanged(const scene::Node& node) override;
    void childAdded(const scene::Node& child) override;
    void childRemoving(const scene::Node& child) override;
    void observedNodeDestroyed(const scene::Node& node) override;

private:
    struct LookHash {
        std::size_t operator()(const Look& look) const;
    };
    // A fixed plane whose material's sidedness is read again every frame.
    struct FixedPlane {
        const scene::Node* node;
        const scene::Material* material;
        bool doubleSided;
    };

    void forget();
    void rebuild();
    void add(const scene::Node& node, const scene::Matrix4& parentToWorld, float parentOpacity);
    void addSubtree(const scene::Node& node);
    void remove(const scene::Node& node);
    std::uint32_t lookIndex(const Look& look);
    void release(std::uint32_t look);
    void compact();

    const scene::Node* root_ = nullptr;
    std::uint64_t appearance_ = 0;
    std::vector<Entry> entries_;
    std::size_t freeEntries_ = 0;
    std::unordered_map<const scene::Node*, std::uint32_t> slots_;
    std::vector<LookSlot> looks_;
    std::vector<std::uint32_t> freeLooks_;
    std::unordered_map<Look, std::uint32_t, LookHash> lookIndices_;
    std::vector<FixedPlane> fixedPlanes_;
    std::uint64_t entriesGeneration_ = 0;
    std::uint64_t reshapedGeneration_ = 0;
    std::uint64_t renumberedGeneration_ = 0;
    std::uint64_t looksGeneration_ = 0;
};

}  // namespace render
