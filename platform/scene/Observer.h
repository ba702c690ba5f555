// How a cache of a scene (the renderer's) stays current without walking the
// scene every frame: nodes tell the observers of the tree they are in what
// changed, and planes and materials that a cache has read count their later
// changes in one process-wide generation.
#pragma once

#include <cstdint>

namespace scene {

class Node;

// Told of every change in the tree under the node it observes, while the
// change happens. Notifications run on the thread that changes the scene.
class SceneObserver {
public:
    virtual ~SceneObserver() = default;
    // `node`'s position, rotation, opacity, geometry or constraints changed.
    virtual void nodeChanged(const Node& node) = 0;
    // `child`, with everything below it, has just been added to its parent.
    virtual void childAdded(const Node& child) = 0;
    // `child`, with everything below it, is about to leave its parent; it
    // and its parent are still whole.
    virtual void childRemoving(const Node& child) = 0;
    // The observed node itself is being destroyed; no more notifications
    // follow.
    virtual void observedNodeDestroyed(const Node& node) = 0;
};

// Counts changes to planes and materials that were marked as shown. A cache
// that read them compares the count with the one it read them at.
std::uint64_t appearanceGeneration();
void appearanceChanged();

}  // namespace scene
