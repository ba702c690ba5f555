#include "platform/render/ScreenGrid.h"

#include <algorithm>
#include <limits>

namespace render {

namespace {
constexpr float inf = std::numeric_limits<float>::infinity();

scene::Vector3 column(const scene::Matrix4& m, int c) {
    return {m.columns[c][0], m.columns[c][1], m.columns[c][2]};
}

scene::Vector3 normalized(scene::Vector3 v) {
    float l = scene::length(v);
    return l > 0 ? v * (1.0f / l) : v;
}
}  // namespace

Extent emptyExtent() { return {inf, inf, -inf, -inf}; }
Extent unboundedExtent() { return {-inf, -inf, inf, inf}; }
bool isEmpty(const Extent& e) { return !(e[0] <= e[2] && e[1] <= e[3]); }

ScreenView ScreenView::of(const scene::Matrix4& cameraToWorld,
                          const scene::Matrix4& viewProjection) {
    ScreenView view{cameraToWorld, viewProjection, {}, {}};
    const scene::Vector3 right = normalized(column(cameraToWorld, 0));
    const scene::Vector3 up = normalized(column(cameraToWorld, 1));
    view.clipRight = viewProjection * std::array<float, 4>{right.x, right.y, right.z, 0};
    view.clipUp = viewProjection * std::array<float, 4>{up.x, up.y, up.z, 0};
    return view;
}

scene::Vector3 ScreenView::eye() const { return column(cameraToWorld, 3); }

scene::Vector3 ScreenView::forward() const { return normalized(column(cameraToWorld, 2)) * -1.0f; }

Extent ScreenView::quadExtent(const scene::Vector3& centre, float halfWidth, float halfHeight,
                              const std::array<float, 4>& part) const {
    const std::array<float, 4> middle =
        viewProjection * std::array<float, 4>{centre.x, centre.y, centre.z, 1};
    Extent e = emptyExtent();
    for (int corner = 0; corner < 4; ++corner) {
        const float x = ((corner & 1) != 0 ? part[2] : part[0]) * halfWidth;
        const float y = ((corner & 2) != 0 ? part[3] : part[1]) * halfHeight;
        std::array<float, 4> p;
        for (int c = 0; c < 4; ++c) p[c] = middle[c] + x * clipRight[c] + y * clipUp[c];
        if (!(p[3] > 1e-6f)) return unboundedExtent();
        const float px = p[0] / p[3], py = p[1] / p[3];
        e = {std::min(e[0], px), std::min(e[1], py), std::max(e[2], px), std::max(e[3], py)};
    }
    return e;
}

Extent ScreenView::extentOf(const SceneCache::Entry& entry,
                            const std::vector<MaterialFacts>& facts) const {
    if (entry.look == SceneCache::none) return emptyExtent();
    const MaterialFacts& material = facts[entry.look];
    if (!material.square) return unboundedExtent();
    return quadExtent(entry.centre, material.halfWidth, material.halfHeight, {-1, -1, 1, 1});
}

void ScreenGrid::update(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                        const ScreenView& view) {
    const auto& entries = cache.entries();
    const bool fresh = !anyExtents_ || extentsRenumbered_ != cache.renumberedGeneration() ||
                       entries.size() < extentsSlots_ ||
                       !(extentsViewProjection_ == view.viewProjection) ||
                       !(extentsCameraToWorld_ == view.cameraToWorld);
    extents_.resize(entries.size());
    for (std::size_t slot = fresh ? 0 : extentsSlots_; slot < entries.size(); ++slot)
        extents_[slot] = view.extentOf(entries[slot], facts);
    if (fresh) cellsSlots_ = 0;
    anyExtents_ = true;
    extentsSlots_ = entries.size();
    extentsRenumbered_ = cache.renumberedGeneration();
    extentsViewProjection_ = view.viewProjection;
    extentsCameraToWorld_ = view.cameraToWorld;
}

std::array<int, 4> ScreenGrid::cellsOf(const Extent& e) {
    auto cell = [](float at, int cells) {
        const float clamped = std::clamp(at, -1.0f, 1.0f);
        return std::min(cells - 1,
                        static_cast<int>((clamped + 1) * 0.5f * static_cast<float>(cells)));
    };
    return {cell(e[0], cellsAcross), cell(e[1], cellsDown), cell(e[2], cellsAcross),
            cell(e[3], cellsDown)};
}

// All the slots again, counted first into one array, after the extents were
// worked out afresh; else those added since, each cell's in a list of its
// own.
void ScreenGrid::updateCells() {
    constexpr std::size_t cells = cellsAcross * cellsDown;
    auto everywhere = [&](std::size_t slot) {
        const Extent& e = extents_[slot];
        return e[0] <= -1 && e[1] <= -1 && e[2] >= 1 && e[3] >= 1;
    };
    // Calls `into(cell)` for each cell that `slot`'s extent touches, unless
    // it is empty or everywhere.
    auto forCells = [&](std::size_t slot, auto into) {
        const Extent& e = extents_[slot];
        if (isEmpty(e) || everywhere(slot)) return;
        const auto [x0, y0, x1, y1] = cellsOf(e);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) into(static_cast<std::size_t>(y * cellsAcross + x));
    };
    const std::size_t from = cellsSlots_;
    if (from == 0) {
        everywhere_.clear();
        cellExtra_.resize(cells);
        for (auto& extra : cellExtra_) extra.clear();
        cellStart_.assign(cells + 1, 0);
        for (std::size_t slot = 0; slot < extents_.size(); ++slot)
            forCells(slot, [&](std::size_t cell) { ++cellStart_[cell + 1]; });
        for (std::size_t cell = 0; cell < cells; ++cell) cellStart_[cell + 1] += cellStart_[cell];
        cellSlots_.resize(cellStart_[cells]);
        cellFill_.assign(cellStart_.begin(), cellStart_.end() - 1);
    }
    for (std::size_t slot = from; slot < extents_.size(); ++slot) {
        const auto s = static_cast<std::uint32_t>(slot);
        if (everywhere(slot)) everywhere_.push_back(s);
        if (from == 0)
            forCells(slot, [&](std::size_t cell) { cellSlots_[cellFill_[cell]++] = s; });
        else
            forCells(slot, [&](std::size_t cell) { cellExtra_[cell].push_back(s); });
    }
    cellsSlots_ = extents_.size();
}

void ScreenGrid::slotsTouching(const Extent& region, const SceneCache& cache,
                               const std::vector<MaterialFacts>& facts,
                               std::vector<std::uint32_t>& out) {
    auto touches = [&](std::size_t slot) {
        const Extent& e = extents_[slot];
        return e[0] <= region[2] && e[2] >= region[0] && e[1] <= region[3] && e[3] >= region[1];
    };
    out.clear();
    touched_.resize(extents_.size(), 0);
    auto visit = [&](std::uint32_t slot) {
        if (touched_[slot] != 0) return;
        touched_[slot] = 1;
        out.push_back(slot);
    };
    updateCells();
    for (std::uint32_t slot : everywhere_) visit(slot);
    const auto [x0, y0, x1, y1] = cellsOf(region);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const std::size_t cell = static_cast<std::size_t>(y * cellsAcross + x);
            for (std::size_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i)
                visit(cellSlots_[i]);
            for (std::uint32_t slot : cellExtra_[cell]) visit(slot);
        }
    std::size_t kept = 0;
    for (std::uint32_t slot : out) {
        touched_[slot] = 0;
        const std::uint32_t look = cache.entries()[slot].look;
        if (look != SceneCache::none && facts[look].texture != 0 && touches(slot))
            out[kept++] = slot;
    }
    out.resize(kept);
}

}  // namespace render
