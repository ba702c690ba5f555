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

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Bits.h"
#include "platform/render/SceneCache.h"
#include "platform/scene/Math.h"

namespace render {

using SortItem = std::uint64_t;

// The upper half of a key: unsigned order is `depth`'s order, reversed.
inline std::uint32_t farthestFirst(float depth) {
    std::uint32_t bits = platform::bitCast<std::uint32_t>(depth);
    bits ^= (bits >> 31) != 0 ? 0xFFFFFFFFu : 0x80000000u;
    return ~bits;
}

inline SortItem sortItem(float depth, std::uint32_t slot) {
    return static_cast<SortItem>(farthestFirst(depth)) << 32 | slot;
}
inline std::uint32_t slotOf(SortItem item) { return static_cast<std::uint32_t>(item); }
inline std::uint32_t depthKeyOf(SortItem item) { return static_cast<std::uint32_t>(item >> 32); }

// How many depth keys have each value of the radix sort's two lower digits
// (of eleven bits each), and the least and greatest key, which tells
// whether the highest digit is one that all the keys share (as it is for
// depths within one power of two). Whoever makes the keys can count them
// as it goes, which spares the sort a pass over them.
class DigitCounts {
public:
    static constexpr int bits = 11;
    static constexpr std::size_t buckets = std::size_t{1} << bits;

    void clear() {
        counts_ = {};
        least_ = ~0u;
        greatest_ = 0;
    }
    void add(std::uint32_t depthKey) {
        ++counts_[0][depthKey & (buckets - 1)];
        ++counts_[1][(depthKey >> bits) & (buckets - 1)];
        least_ = std::min(least_, depthKey);
        greatest_ = std::max(greatest_, depthKey);
    }
    std::array<std::uint32_t, buckets>& digit(int d) { return counts_[d]; }
    bool highestShared() const { return (least_ >> 2 * bits) == (greatest_ >> 2 * bits); }

private:
    std::array<std::array<std::uint32_t, buckets>, 2> counts_{};
    std::uint32_t least_ = ~0u, greatest_ = 0;
};

// Sorts `items` by their depth keys, keeping the order of equal keys: three
// passes of eleven bits, linear in the planes, a digit that all of them
// share left out. `counts` holds the items' counts, and is used up.
// `scratch` is working room.
void radixSort(std::vector<SortItem>& items, std::vector<SortItem>& scratch, DigitCounts& counts);
// The same, counting the items first.
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
