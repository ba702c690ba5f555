// Where planes lie on the screen: each slot's extent (its quad's bounding
// rectangle in normalised device coordinates), and a coarse grid of cells
// that lists the slots each cell holds, so that a region redraw finds the
// planes that touch it without passing over all of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"
#include "platform/scene/Math.h"

namespace render {

// x0, y0, x1, y1 in normalised device coordinates; empty when x1 < x0,
// unbounded when it reaches behind the eye.
using Extent = std::array<float, 4>;

Extent emptyExtent();
Extent unboundedExtent();
bool isEmpty(const Extent& e);

// The point of view as the screen sees it.
struct ScreenView {
    scene::Matrix4 cameraToWorld, viewProjection;
    // The camera's right and up axes in clip space.
    std::array<float, 4> clipRight{}, clipUp{};

    static ScreenView of(const scene::Matrix4& cameraToWorld, const scene::Matrix4& viewProjection);
    scene::Vector3 eye() const;
    scene::Vector3 forward() const;

    // The extent of the `part` of a sprite's quad between (x0, y0) and
    // (x1, y1), from -1 to 1 across and upwards.
    Extent quadExtent(const scene::Vector3& centre, float halfWidth, float halfHeight,
                      const std::array<float, 4>& part) const;
    // The extent of the plane in `entry`: unbounded unless it is a sprite
    // wholly in front of the eye; empty for a free slot.
    Extent extentOf(const SceneCache::Entry& entry, const std::vector<MaterialFacts>& facts) const;
};

class ScreenGrid {
public:
    static constexpr int cellsAcross = 16, cellsDown = 32;

    // Every slot's extent seen from `view`: worked out again only for the
    // slots added since, while neither the point of view nor the slots'
    // planes changed (a slot whose plane is gone keeps its extent and is
    // passed over).
    void update(const SceneCache& cache, const std::vector<MaterialFacts>& facts,
                const ScreenView& view);
    const std::vector<Extent>& extents() const { return extents_; }

    // The slots whose extent touches `region` (not empty), each once, in no
    // particular order, with a material that has a texture.
    void slotsTouching(const Extent& region, const SceneCache& cache,
                       const std::vector<MaterialFacts>& facts, std::vector<std::uint32_t>& out);

    // The cells that `e` (not empty) touches, inclusive; what lies off the
    // screen counts as on its edge.
    static std::array<int, 4> cellsOf(const Extent& e);

private:
    void updateCells();

    std::vector<Extent> extents_;
    std::size_t extentsSlots_ = 0;
    std::uint64_t extentsRenumbered_ = ~0ull;
    scene::Matrix4 extentsViewProjection_, extentsCameraToWorld_;
    bool anyExtents_ = false;
    // Each cell's slots: cell c's from cellSlots_[cellStart_[c]] to before
    // cellSlots_[cellStart_[c + 1]], for the slots below `cellsSlots_`
    // (none after the extents were worked out afresh), and those added
    // since in cellExtra_[c]; the slots whose extent is unbounded or covers
    // the whole screen.
    std::size_t cellsSlots_ = 0;
    std::vector<std::size_t> cellStart_, cellFill_;
    std::vector<std::uint32_t> cellSlots_;
    std::vector<std::vector<std::uint32_t>> cellExtra_;
    std::vector<std::uint32_t> everywhere_;
    std::vector<std::uint8_t> touched_;
};

}  // namespace render
