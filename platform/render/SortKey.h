// The blended pass's sort key and the sorts over it. Translucent planes are
// drawn back to front, so each gets a 64-bit key, as a render pass's
// command key packs what orders its draws:
//
//   bits 63..32  depth along the view, farthest first (the float's order,
//                reversed, as an unsigned number)
//   bits 31..0   the plane's slot in the scene cache
//
// Sorting by the whole key sorts by depth, and planes at one depth keep the
// order in which they came into the scene. See-through photos, which are
// not turned to the viewer, divide the sort: what lies on the eye's side of
// one is drawn after it, whatever the depths of centres say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/render/SceneCache.h"
#include "platform/scene/Math.h"

namespace render {

using SortItem = std::uint64_t;

// The upper half of a key: unsigned order is `depth`'s order, reversed.
std::uint32_t farthestFirst(float depth);

inline SortItem sortItem(float depth, std::uint32_t slot) {
    return static_cast<SortItem>(farthestFirst(depth)) << 32 | slot;
}
inline std::uint32_t slotOf(SortItem item) { return static_cast<std::uint32_t>(item); }
inline std::uint32_t depthKeyOf(SortItem item) { return static_cast<std::uint32_t>(item >> 32); }

// Sorts `items` by their depth keys, keeping the order of equal keys: three
// passes of eleven bits, linear in the planes. `scratch` is working room.
void radixSort(std::vector<SortItem>& items, std::vector<SortItem>& scratch);

// Sorts `items`, which were in order until their keys changed a little (a
// camera that moved since), by their whole keys: each item moves down past
// the greater ones before it. Gives false, leaving `items` in some order,
// when that would move items more than `budget` places in all: then
// sorting afresh costs less. Otherwise the items at [`firstMoved`,
// `endMoved`) are those that changed (an empty range when none did).
bool resort(std::vector<SortItem>& items, std::size_t budget, std::size_t& firstMoved,
            std::size_t& endMoved);

// Merges `added` (any order; sorted here) into `order` (sorted), every
// added slot above the kept ones, so that the result is what sorting all of
// them gives. Gives how many items at the start kept their places.
std::size_t mergeAdded(std::vector<SortItem>& order, std::vector<SortItem>& added);

// A see-through plane that divides the blended order, as seen from the eye.
struct Divider {
    scene::Vector3 centre, normal;
    // Which side of it the eye is on: 1 the side its normal points to.
    float eyeSide;
    std::uint32_t slot;
};

// Orders `items` (sorted by depth) into layers by `dividers`: layer 2k is in
// front of k dividers, a divider in front of k others is layer 2k + 1, and
// layers go farthest first, each keeping depth order within it. A sprite
// behind a photo whose centre is nearer than the photo's is then still seen
// through the photo.
void layerByDividers(std::vector<SortItem>& items, const std::vector<Divider>& dividers,
                     const std::vector<SceneCache::Entry>& entries, std::vector<SortItem>& scratch);

}  // namespace render
