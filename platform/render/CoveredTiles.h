// Occlusion culling for frames drawn whole on a software rasteriser. Over a
// grid of small tiles of the screen, a tile that the fully opaque texels of
// a sprite cover whole (its occluder) hides whatever lies behind that
// sprite by more than the depth buffer can confuse; each sprite is then
// drawn only over one or two rectangles of the tiles where it may show,
// since elsewhere it would fail the depth test at every pixel. A GPU's
// early-Z after the front-to-back opaque pass rejects those fragments for
// nothing; Mesa's llvmpipe rasterises and tests every one of them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/render/PictureCoverage.h"
#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"
#include "platform/render/ScreenGrid.h"

namespace render {

// A rectangle of tiles, inclusive; empty when x1 < x0.
struct TileBox {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    bool empty() const { return x1 < x0; }
    long area() const { return empty() ? 0 : long{x1 - x0 + 1} * long{y1 - y0 + 1}; }
    void add(const TileBox& box) {
        if (box.empty()) return;
        if (empty()) {
            *this = box;
            return;
        }
        x0 = std::min(x0, box.x0), y0 = std::min(y0, box.y0);
        x1 = std::max(x1, box.x1), y1 = std::max(y1, box.y1);
    }
    friend bool operator==(const TileBox&, const TileBox&) = default;
};

// What the culling reads of the scene: its planes and their materials'
// facts and picture coverage (none where the quad is drawn whole), the
// slots' extents, the point of view, and the depth buffer's range.
struct CullingInput {
    const SceneCache* cache = nullptr;
    const std::vector<MaterialFacts>* facts = nullptr;
    const std::vector<const PictureCoverage*>* coverage = nullptr;
    const std::vector<Extent>* extents = nullptr;
    const ScreenView* view = nullptr;
    float depthNear = 0.001f, depthFar = 1000;
};

class CoveredTiles {
public:
    // The side of a tile, in pixels: small enough that a sprite's occluder
    // covers many.
    static constexpr int tileSize = 16;

    // Whether any sprite's opaque rectangle, at the `nearest` depth there
    // is, is as large as a tile on a screen `width` by `height` pixels:
    // otherwise nothing can be covered and no extents need working out.
    static bool mayCover(int width, int height, const std::vector<MaterialFacts>& facts,
                         const std::vector<const PictureCoverage*>& coverage,
                         const ScreenView& view, float nearest);

    // The parts of each slot's sprite that may show on a screen `width` by
    // `height` pixels. False, every plane to be drawn whole, when no tile
    // is covered.
    bool update(int width, int height, const CullingInput& input);
    // Two parts a slot (0 where there is no such part; the first whole for
    // a plane that is never cut), and the sprites drawn over less than
    // their whole quad, or not at all.
    const std::vector<Part>& parts() const { return slotParts_; }
    std::size_t trimmed() const { return trimmed_; }

    // The tiles' cover: all open on a screen `width` by `height` pixels.
    void reset(int width, int height);
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    // The nearest depth at which a tile is covered (infinite when none).
    float coverAt(int column, int row) const {
        return tileCover_[static_cast<std::size_t>(row * columns_ + column)];
    }
    void cover(int column, int row, float depth) {
        float& at = tileCover_[static_cast<std::size_t>(row * columns_ + column)];
        at = std::min(at, depth);
    }
    // Covers at `depth` every tile that the fully opaque texels of a sprite
    // whose quad lies over `whole` (pixels, y upwards, finite, not empty)
    // cover, as far as filtering reaches and with a pixel of rounding to
    // spare, by the picture's summed-area table. Whether any was.
    bool occludeBySummedArea(const Extent& whole, const PictureCoverage& picture, float depth);
    // Covers at `depth` every tile wholly inside `rectangle` (pixels).
    bool occludeRectangle(const Extent& rectangle, float depth);
    // The tiles from (x0, y0) to (x1, y1) (inclusive) that cover nearer
    // than `depth` does not hide, as one rectangle around them or, where
    // two leave out at least a fifth more, as two, one above the other.
    void split(int x0, int y0, int x1, int y1, float depth, TileBox (&pieces)[2]);
    // `box` as the part of a quad over `quad` (pixels), rounded outwards.
    Part partOf(const TileBox& box, const Extent& quad) const;

private:
    int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
    std::size_t trimmed_ = 0;
    // Per tile, the nearest depth at which an occluder covers it whole; per
    // slot, the depth cover must be nearer than to hide it (minus infinity
    // where it is never left out).
    std::vector<float> tileCover_, slotDepth_;
    std::vector<Part> slotParts_;
    std::vector<TileBox> rowBoxes_, fromRow_;
    std::vector<std::pair<int, int>> coverColumns_;
};

}  // namespace render
