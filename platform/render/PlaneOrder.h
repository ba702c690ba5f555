// The order of both passes' planes. The opaque pass goes front-to-back, so
// that early-Z rejects what its nearer occluders hide, grouped by texture;
// the blended pass back-to-front by the sort key (SortKey.h). Both follow
// what changed: planes added are merged into the kept orders, a camera that
// moved sorts again from the last order, and the opaque order, which only
// saves work, is kept until the point of view has moved far enough for
// another order to reject more.
//
// The blended pass draws every plane's soft edges, so every plane is in its
// order; where the opaque pass draws opaque planes' edges by sample
// coverage, only the see-through planes are, and a moving camera orders
// those alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"
#include "platform/render/SortKey.h"
#include "platform/scene/Math.h"

namespace render {

class PlaneOrder {
public:
    // Whether the orders are still those of `cache` seen from (`eye`,
    // `forward`).
    bool current(const SceneCache& cache, scene::Vector3 eye, scene::Vector3 forward) const;
    // Whether the scene changed only by planes added since the orders were
    // made, seen from where they were made.
    bool onlyAddedSince(const SceneCache& cache, scene::Vector3 eye, scene::Vector3 forward) const;
    // The slots the orders were made for.
    std::size_t slots() const { return orderedSlots_; }
    // Makes the orders again from scratch at the next update: the runs a
    // material's texture was in are broken.
    void markStale() { stale_ = true; }
    // Whether the opaque pass draws opaque planes whole, their soft edges by
    // sample coverage: then the blended order holds only the see-through
    // planes, and the opaque order is made on its own.
    void setCoverage(bool coverage);
    bool coverage() const { return coverage_; }

    // Orders the planes of `cache` seen from (`eye`, `forward`).
    void update(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                scene::Vector3 eye, scene::Vector3 forward);
    // The planes added since the blended order was made, which wait until a
    // frame is drawn whole, merged into it.
    void mergeWaiting();

    // The blended order (sort items, farthest first), and the first and
    // past the last of its places that changed since `listsBuilt`.
    const std::vector<SortItem>& blended() const { return blended_; }
    std::size_t blendedChangedFrom() const { return blendedFrom_; }
    std::size_t blendedChangedTo() const { return blendedTo_; }
    // The opaque order (slots, nearest first, grouped by texture), and the
    // first of its places that changed since `listsBuilt`.
    const std::vector<std::uint32_t>& opaque() const { return opaque_; }
    std::size_t opaqueChangedFrom() const { return opaqueFrom_; }
    // The draw lists were made from the orders as they are.
    void listsBuilt();

    // Planes ordered: in the blended order and waiting to join it, and with
    // coverage the opaque ones too.
    std::size_t planes() const {
        return blended_.size() + waiting_.size() + (coverage_ ? opaque_.size() : 0);
    }
    bool hasDividers() const { return hasDividers_; }
    // The depth buffer's range, spanning what the planes reach; the nearest
    // depth a plane reaches.
    float depthNear() const { return depthNear_; }
    float depthFar() const { return depthFar_; }
    float nearest() const { return nearest_; }

    // The planes `slots` in the blended order and in the opaque order (the
    // opaque planes only), as sort items by their keys and places in each.
    // `sorted` says that `slots` is in the blended order already.
    void orderOf(const std::vector<std::uint32_t>& slots, bool sorted, const SceneCache& cache,
                 const std::vector<MaterialFacts>& facts, std::vector<SortItem>& blended,
                 std::vector<SortItem>& opaque);

private:
    // Which planes `keyPlanes` keys.
    enum class Keyed { blended, opaque };
    bool keyPlanes(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                   std::size_t firstSlot, scene::Vector3 eye, scene::Vector3 forward,
                   std::vector<Divider>* dividers, Keyed keyed = Keyed::blended);
    bool inBlendedOrder(const MaterialFacts& material) const {
        return !coverage_ || !material.opaque;
    }
    void boundPlanes(const SceneCache& cache, const std::vector<MaterialFacts>& facts);
    void depthRangeFromBounds(scene::Vector3 eye, scene::Vector3 forward);
    void orderAll(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                  scene::Vector3 eye, scene::Vector3 forward);
    bool resortFromLast(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                        scene::Vector3 eye, scene::Vector3 forward);
    void blendedChanged(std::size_t from, std::size_t to);
    void orderOpaque(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                     scene::Vector3 eye, scene::Vector3 forward);
    void appendOpaqueFrom(const std::vector<SortItem>& items,
                          const std::vector<MaterialFacts>& facts,
                          const std::vector<SceneCache::Entry>& entries);
    void appendOpaque(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                      scene::Vector3 eye, scene::Vector3 forward);

    bool stale_ = true;
    bool coverage_ = false;
    std::uint64_t entriesOrdered_ = ~0ull;
    scene::Vector3 orderedEye_, orderedForward_;
    std::size_t orderedSlots_ = 0;
    std::uint64_t orderedReshaped_ = ~0ull;
    bool hasDividers_ = false;
    float nearest_ = 1e30f, farthest_ = 0;
    float depthNear_ = 0.001f, depthFar_ = 1000;

    std::vector<SortItem> blended_;
    std::size_t blendedFrom_ = 0, blendedTo_ = 0;
    // Planes added since the blended order was made, keyed, not yet merged
    // into it; each slot's depth key in that order and place in the opaque
    // order.
    std::vector<SortItem> waiting_;
    std::vector<std::uint32_t> slotKeys_, opaqueRanks_;
    bool slotKeysStale_ = true;
    // Frames still to sort afresh without trying the last order first.
    int resortsSkipped_ = 0;

    std::vector<std::uint32_t> opaque_;
    std::size_t opaqueFrom_ = 0;
    // Where the opaque order was made from, and of what; its runs of one
    // texture, the textures it was grouped by, and the last one.
    scene::Vector3 opaqueEye_, opaqueForward_;
    std::uint64_t opaqueReshaped_ = ~0ull;
    std::size_t opaqueSlots_ = 0, opaqueRuns_ = 0, opaqueTextures_ = 0;
    TextureId lastOpaqueTexture_ = 0;

    // With coverage, a box around every plane's centre and the farthest any
    // reaches from it, of the slots before `boundedSlots_`: the depth range
    // without a look at every plane each frame.
    scene::Vector3 boundsLow_, boundsHigh_;
    float boundsReach_ = 0;
    std::size_t boundedSlots_ = 0;
    std::uint64_t boundedReshaped_ = ~0ull;

    // Kept from frame to frame so that ordering allocates little.
    std::vector<SortItem> keyed_, scratch_;
};

}  // namespace render
