#include "platform/render/PlaneOrder.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace render {

using scene::Vector3;

bool PlaneOrder::current(const SceneCache& cache, Vector3 eye, Vector3 forward) const {
    return !stale_ && entriesOrdered_ == cache.entriesGeneration() && eye == orderedEye_ &&
           forward == orderedForward_;
}

bool PlaneOrder::onlyAddedSince(const SceneCache& cache, Vector3 eye, Vector3 forward) const {
    return !stale_ && orderedReshaped_ == cache.reshapedGeneration() &&
           cache.entries().size() >= orderedSlots_ && eye == orderedEye_ &&
           forward == orderedForward_;
}

void PlaneOrder::setCoverage(bool coverage) {
    if (coverage == coverage_) return;
    coverage_ = coverage;
    stale_ = true;
}

// Keys of the planes from `firstSlot` on that are `keyed`: those of the
// blended order, or the fully opaque ones, into `keyed_`, widening the
// depth range; without `dividers`, false at the first divider.
bool PlaneOrder::keyPlanes(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                           std::size_t firstSlot, Vector3 eye, Vector3 forward,
                           std::vector<Divider>* dividers, Keyed keyed) {
    const auto& entries = cache.entries();
    for (std::size_t slot = firstSlot; slot < entries.size(); ++slot) {
        const SceneCache::Entry& entry = entries[slot];
        if (entry.look == SceneCache::none) continue;
        const MaterialFacts& material = facts[entry.look];
        if (material.texture == 0) continue;
        if (keyed == Keyed::blended ? !inBlendedOrder(material) : !material.opaque) continue;
        if (material.divider) {
            if (!dividers) return false;
            const Look& plane = cache.looks()[entry.look].look;
            Vector3 normal = scene::cross(plane.right, plane.up);
            float side = scene::dot(normal, eye - entry.centre);
            if (side != 0)
                dividers->push_back({entry.centre, normal, side > 0 ? 1.0f : -1.0f,
                                     static_cast<std::uint32_t>(slot)});
        }
        const float depth = scene::dot(entry.centre - eye, forward);
        if (depth + material.reach > 0) {
            nearest_ = std::min(nearest_, depth - material.reach);
            farthest_ = std::max(farthest_, depth + material.reach);
        }
        keyed_.push_back(sortItem(depth, static_cast<std::uint32_t>(slot)));
    }
    return true;
}

void PlaneOrder::blendedChanged(std::size_t from, std::size_t to) {
    blendedFrom_ = std::min(blendedFrom_, from);
    blendedTo_ = std::max(blendedTo_, to);
}

void PlaneOrder::listsBuilt() {
    blendedFrom_ = std::numeric_limits<std::size_t>::max();
    blendedTo_ = 0;
    opaqueFrom_ = opaque_.size();
}

void PlaneOrder::update(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                        Vector3 eye, Vector3 forward) {
    // Planes only added since the last order, seen from where it was made:
    // they wait to be merged into it until a frame is drawn whole; a frame
    // that draws only where they lie picks them and the planes there by
    // their keys, which give the same order. Otherwise every plane is
    // ordered again: sorted from the last order where only the point of
    // view changed, afresh where that would cost more.
    const std::size_t slots = cache.entries().size();
    bool merged = false;
    if (onlyAddedSince(cache, eye, forward) && !hasDividers_) {
        keyed_.clear();
        merged = keyPlanes(cache, facts, orderedSlots_, eye, forward, nullptr);
        if (merged) {
            if (!slotKeysStale_) {
                slotKeys_.resize(slots);
                for (SortItem item : keyed_) slotKeys_[slotOf(item)] = depthKeyOf(item);
            }
            waiting_.insert(waiting_.end(), keyed_.begin(), keyed_.end());
        }
    }
    if (!merged) {
        if (!resortFromLast(cache, facts, eye, forward)) orderAll(cache, facts, eye, forward);
        // Each slot's key is looked up only for a region redraw.
        slotKeysStale_ = true;
    }

    // The opaque order only saves work (the depth test decides what is
    // seen): new planes join its end, and it is made again only when planes
    // went or changed, or the point of view moved far enough for another
    // order to reject more.
    const bool opaqueKept = !stale_ && opaqueReshaped_ == cache.reshapedGeneration() &&
                            slots >= opaqueSlots_ && scene::dot(forward, opaqueForward_) > 0.985f &&
                            scene::length(eye - opaqueEye_) < 0.1f &&
                            opaqueRuns_ <= 2 * opaqueTextures_ + 16;
    if (opaqueKept)
        appendOpaque(cache, facts, eye, forward);
    else
        orderOpaque(cache, facts, eye, forward);

    if (coverage_) {
        // Only the see-through planes were keyed: the depth range spans
        // the box around every plane instead.
        boundPlanes(cache, facts);
        depthRangeFromBounds(eye, forward);
    }
    orderedEye_ = eye;
    orderedForward_ = forward;
    orderedSlots_ = slots;
    orderedReshaped_ = cache.reshapedGeneration();
    // The depth buffer spans what the planes reach, not the view's whole
    // range from a millimetre to a kilometre: sprites a fraction of a
    // millimetre apart then still keep their order in it.
    depthNear_ = std::max(0.001f, nearest_ * 0.9f);
    depthFar_ = std::max(farthest_ * 1.1f, depthNear_ * 2);
    entriesOrdered_ = cache.entriesGeneration();
    stale_ = false;
}

// Widens the box around the planes' centres by the planes added since, or
// makes it again when planes went or changed.
void PlaneOrder::boundPlanes(const SceneCache& cache, const std::vector<MaterialFacts>& facts) {
    const auto& entries = cache.entries();
    if (boundedReshaped_ != cache.reshapedGeneration() || entries.size() < boundedSlots_) {
        boundsLow_ = {1e30f, 1e30f, 1e30f};
        boundsHigh_ = {-1e30f, -1e30f, -1e30f};
        boundedSlots_ = 0;
    }
    for (std::size_t slot = boundedSlots_; slot < entries.size(); ++slot) {
        const SceneCache::Entry& entry = entries[slot];
        if (entry.look == SceneCache::none || facts[entry.look].texture == 0) continue;
        const Vector3 c = entry.centre;
        boundsLow_ = {std::min(boundsLow_.x, c.x), std::min(boundsLow_.y, c.y),
                      std::min(boundsLow_.z, c.z)};
        boundsHigh_ = {std::max(boundsHigh_.x, c.x), std::max(boundsHigh_.y, c.y),
                       std::max(boundsHigh_.z, c.z)};
    }
    boundedSlots_ = entries.size();
    boundedReshaped_ = cache.reshapedGeneration();
    // The materials are few; one no plane uses any more only widens it.
    boundsReach_ = 0;
    for (const MaterialFacts& material : facts)
        boundsReach_ = std::max(boundsReach_, material.reach);
}

// The depth range from the box's corners, as wide as the planes' own or
// wider: only the depth buffer's precision depends on it.
void PlaneOrder::depthRangeFromBounds(Vector3 eye, Vector3 forward) {
    nearest_ = 1e30f, farthest_ = 0;
    if (boundsLow_.x > boundsHigh_.x) return;
    float low = 1e30f, high = -1e30f;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 at{(corner & 1) != 0 ? boundsHigh_.x : boundsLow_.x,
                         (corner & 2) != 0 ? boundsHigh_.y : boundsLow_.y,
                         (corner & 4) != 0 ? boundsHigh_.z : boundsLow_.z};
        const float depth = scene::dot(at - eye, forward);
        low = std::min(low, depth);
        high = std::max(high, depth);
    }
    // As for each plane: only what reaches in front of the eye counts.
    if (high + boundsReach_ > 0) nearest_ = low - boundsReach_, farthest_ = high + boundsReach_;
}

void PlaneOrder::orderAll(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                          Vector3 eye, Vector3 forward) {
    keyed_.clear();
    nearest_ = 1e30f, farthest_ = 0;
    std::vector<Divider> dividers;
    keyPlanes(cache, facts, 0, eye, forward, &dividers);
    radixSort(keyed_, scratch_);
    hasDividers_ = !dividers.empty();
    layerByDividers(keyed_, dividers, cache.entries(), scratch_);
    blended_.swap(keyed_);
    waiting_.clear();
    blendedChanged(0, blended_.size());
}

// The planes of the last order, seen from elsewhere: their keys made again
// in that order and sorted from there, which moves few of them when the
// point of view moved a little; the planes added since merged in. False,
// to be ordered afresh, when that cannot be done or would cost more.
bool PlaneOrder::resortFromLast(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                                Vector3 eye, Vector3 forward) {
    const auto& entries = cache.entries();
    if (stale_ || hasDividers_ || orderedReshaped_ != cache.reshapedGeneration() ||
        entries.size() < orderedSlots_)
        return false;
    // A camera that turns keeps turning: after a sort from the last order
    // cost too much, the next few frames sort afresh at once.
    if (resortsSkipped_ > 0) {
        --resortsSkipped_;
        return false;
    }
    mergeWaiting();
    keyed_.assign(blended_.begin(), blended_.end());
    float nearest = 1e30f, farthest = 0;
    for (SortItem& item : keyed_) {
        const std::uint32_t slot = slotOf(item);
        const SceneCache::Entry& entry = entries[slot];
        const MaterialFacts& material = facts[entry.look];
        const float depth = scene::dot(entry.centre - eye, forward);
        if (depth + material.reach > 0) {
            nearest = std::min(nearest, depth - material.reach);
            farthest = std::max(farthest, depth + material.reach);
        }
        item = sortItem(depth, slot);
    }
    std::size_t from = 0, to = 0;
    if (!resort(keyed_, keyed_.size() * 2 + 64, from, to)) {
        resortsSkipped_ = 7;
        return false;
    }
    nearest_ = nearest, farthest_ = farthest;
    blended_.swap(keyed_);
    if (from < to) blendedChanged(from, to);
    if (entries.size() > orderedSlots_) {
        keyed_.clear();
        // A see-through photo among them divides the order.
        if (!keyPlanes(cache, facts, orderedSlots_, eye, forward, nullptr)) return false;
        blendedChanged(mergeAdded(blended_, keyed_), blended_.size());
    }
    return true;
}

void PlaneOrder::mergeWaiting() {
    if (waiting_.empty()) return;
    keyed_.swap(waiting_);
    waiting_.clear();
    const std::size_t unchanged = mergeAdded(blended_, keyed_);
    blendedChanged(unchanged, blended_.size());
}

void PlaneOrder::orderOpaque(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                             Vector3 eye, Vector3 forward) {
    const auto& entries = cache.entries();
    opaque_.clear();
    opaqueRuns_ = 0;
    if (coverage_) {
        // Made on its own, the blended order holding none of its planes.
        const float nearest = nearest_, farthest = farthest_;
        keyed_.clear();
        keyPlanes(cache, facts, 0, eye, forward, nullptr, Keyed::opaque);
        nearest_ = nearest, farthest_ = farthest;
        radixSort(keyed_, scratch_);
        appendOpaqueFrom(keyed_, facts, entries);
    } else {
        // Made from the blended order, whole.
        mergeWaiting();
        appendOpaqueFrom(blended_, facts, entries);
    }
    // Grouped by texture, keeping each group nearest first.
    std::vector<std::pair<TextureId, std::size_t>> groups;
    std::vector<std::size_t> groupOf(opaque_.size());
    for (std::size_t i = 0; i < opaque_.size(); ++i) {
        const TextureId texture = facts[entries[opaque_[i]].look].texture;
        std::size_t g = 0;
        while (g < groups.size() && groups[g].first != texture) ++g;
        if (g == groups.size()) groups.push_back({texture, 0});
        ++groups[g].second;
        groupOf[i] = g;
    }
    std::vector<std::size_t> placed(groups.size(), 0);
    for (std::size_t g = 1; g < groups.size(); ++g)
        placed[g] = placed[g - 1] + groups[g - 1].second;
    std::vector<std::uint32_t> grouped(opaque_.size());
    for (std::size_t i = 0; i < opaque_.size(); ++i) grouped[placed[groupOf[i]]++] = opaque_[i];
    opaque_.swap(grouped);
    opaqueRuns_ = opaqueTextures_ = groups.size();
    lastOpaqueTexture_ = groups.empty() ? 0 : groups.back().first;
    opaqueRanks_.resize(entries.size());
    for (std::size_t i = 0; i < opaque_.size(); ++i)
        opaqueRanks_[opaque_[i]] = static_cast<std::uint32_t>(i);
    opaqueFrom_ = 0;
    opaqueEye_ = eye;
    opaqueForward_ = forward;
    opaqueReshaped_ = cache.reshapedGeneration();
    opaqueSlots_ = entries.size();
}

// The fully opaque planes of `items` (farthest first, the earlier placed
// first between equal depths), nearest first at the end of the opaque
// order. Between equal depths the earlier placed stays first: the opaque
// pass lets the last drawn win a tie, as the blended pass does, and planes
// added later join the end.
void PlaneOrder::appendOpaqueFrom(const std::vector<SortItem>& items,
                                  const std::vector<MaterialFacts>& facts,
                                  const std::vector<SceneCache::Entry>& entries) {
    for (std::size_t end = items.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && depthKeyOf(items[begin - 1]) == depthKeyOf(items[end - 1])) --begin;
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t slot = slotOf(items[i]);
            const MaterialFacts& material = facts[entries[slot].look];
            if (!material.opaque) continue;
            if (opaque_.empty() || lastOpaqueTexture_ != material.texture) ++opaqueRuns_;
            lastOpaqueTexture_ = material.texture;
            opaque_.push_back(slot);
        }
        end = begin;
    }
}

void PlaneOrder::appendOpaque(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                              Vector3 eye, Vector3 forward) {
    const std::size_t slots = cache.entries().size();
    if (slots == opaqueSlots_) return;
    keyed_.clear();
    const float nearest = nearest_, farthest = farthest_;
    const bool keyed = keyPlanes(cache, facts, opaqueSlots_, eye, forward, nullptr,
                                 coverage_ ? Keyed::opaque : Keyed::blended);
    nearest_ = nearest, farthest_ = farthest;
    if (!keyed) {
        // A see-through photo among them: the keys stop there.
        orderOpaque(cache, facts, eye, forward);
        return;
    }
    std::sort(keyed_.begin(), keyed_.end());
    const std::size_t before = opaque_.size();
    appendOpaqueFrom(keyed_, facts, cache.entries());
    opaqueRanks_.resize(slots);
    for (std::size_t i = before; i < opaque_.size(); ++i)
        opaqueRanks_[opaque_[i]] = static_cast<std::uint32_t>(i);
    opaqueFrom_ = std::min(opaqueFrom_, before);
    opaqueSlots_ = slots;
}

void PlaneOrder::orderOf(const std::vector<std::uint32_t>& slots, bool sorted,
                         const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                         std::vector<SortItem>& blended, std::vector<SortItem>& opaque) {
    if (slotKeysStale_) {
        slotKeys_.resize(cache.entries().size());
        for (const auto* items : {&blended_, &waiting_})
            for (SortItem item : *items) slotKeys_[slotOf(item)] = depthKeyOf(item);
        slotKeysStale_ = false;
    }
    blended.clear();
    opaque.clear();
    for (std::uint32_t slot : slots) {
        const MaterialFacts& material = facts[cache.entries()[slot].look];
        if (inBlendedOrder(material))
            blended.push_back(static_cast<SortItem>(slotKeys_[slot]) << 32 | slot);
        if (material.opaque)
            opaque.push_back(static_cast<SortItem>(opaqueRanks_[slot]) << 32 | slot);
    }
    if (!sorted) std::sort(blended.begin(), blended.end());
    std::sort(opaque.begin(), opaque.end());
}

}  // namespace render
