// One pass's planes ready for the GPU: their instances (each a plane's slot
// in the plane table), in runs of one texture, in a buffer of their own,
// and optionally the part of each quad drawn. One type serves whole
// frames, region redraws and frames whose sprites are cut to what nearer
// ones leave showing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/render/Gl.h"
#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"

namespace render {

class DrawList {
public:
    static DrawList make();

    // The instances of the planes in `order` (slots, or sort items whose
    // low half is the slot), made again at [from, to) and kept elsewhere,
    // and their runs; uploaded as far as they changed.
    template <typename Order>
    void build(const Order& order, std::size_t from, std::size_t to, const SceneCache& cache,
               const std::vector<MaterialFacts>& facts);
    // The planes of `whole` (whose instances are the planes of `order`),
    // each once for each of its parts in `slotParts` (two a slot, 0 where
    // there is none), keeping their runs.
    template <typename Order>
    void buildParts(const DrawList& whole, const Order& order, const std::vector<Part>& slotParts);

    std::size_t size() const { return slots_.size(); }
    const std::vector<Run>& runs() const { return runs_; }
    bool hasParts() const { return withParts_; }

    // Draws the runs [firstRun, endRun) with the bound program, each plane
    // over its part (as an octagon) when the list has parts. Gives the draw
    // calls made.
    std::size_t execute(std::size_t firstRun = 0,
                        std::size_t endRun = std::numeric_limits<std::size_t>::max()) const;

private:
    void runsFrom(std::size_t from, const std::vector<SceneCache::Entry>& entries,
                  const std::vector<MaterialFacts>& facts);
    void upload(std::size_t from, std::size_t to);

    static std::uint32_t slotIn(std::uint32_t slot) { return slot; }
    static std::uint32_t slotIn(std::uint64_t item) { return static_cast<std::uint32_t>(item); }

    Buffer buffer_, partsBuffer_;
    std::size_t capacity_ = 0;
    std::vector<std::uint32_t> slots_;
    std::vector<Run> runs_;
    std::vector<Part> parts_;
    bool withParts_ = false;
};

template <typename Order>
void DrawList::build(const Order& order, std::size_t from, std::size_t to, const SceneCache& cache,
                     const std::vector<MaterialFacts>& facts) {
    const bool resized = slots_.size() != order.size();
    if (resized) {
        from = std::min(from, std::min(slots_.size(), order.size()));
        to = order.size();
        slots_.resize(order.size());
    }
    to = std::min(to, order.size());
    withParts_ = false;
    parts_.clear();
    if (from >= to) return;
    for (std::size_t i = from; i < to; ++i) slots_[i] = slotIn(order[i]);
    runsFrom(from, cache.entries(), facts);
    upload(from, to);
}

template <typename Order>
void DrawList::buildParts(const DrawList& whole, const Order& order,
                          const std::vector<Part>& slotParts) {
    slots_.clear();
    runs_.clear();
    parts_.clear();
    withParts_ = true;
    for (const Run& run : whole.runs_) {
        Run piece{run.texture, slots_.size(), 0};
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            const std::uint32_t slot = slotIn(order[i]);
            for (std::size_t k = std::size_t{slot} * 2; k < std::size_t{slot} * 2 + 2; ++k) {
                if (slotParts[k] == 0) continue;
                slots_.push_back(slot);
                parts_.push_back(slotParts[k]);
            }
        }
        piece.count = slots_.size() - piece.first;
        if (piece.count > 0) runs_.push_back(piece);
    }
    upload(0, slots_.size());
}

}  // namespace render
