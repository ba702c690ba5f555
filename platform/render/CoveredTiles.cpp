#include "platform/render/CoveredTiles.h"

#include <cmath>
#include <limits>

namespace render {

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

bool finite(const Extent& r) {
    return std::isfinite(r[0]) && std::isfinite(r[1]) && std::isfinite(r[2]) && std::isfinite(r[3]);
}

}  // namespace

bool CoveredTiles::mayCover(int width, int height, const std::vector<MaterialFacts>& facts,
                            const std::vector<const PictureCoverage*>& coverage,
                            const ScreenView& view, float nearest) {
    if (width <= 0 || height <= 0) return false;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    float largest = 0;
    const float acrossPerMetre = std::hypot(view.clipRight[0], view.clipRight[1]) * w / 2;
    const float downPerMetre = std::hypot(view.clipUp[0], view.clipUp[1]) * h / 2;
    for (std::size_t i = 0; i < std::min(facts.size(), coverage.size()); ++i) {
        const MaterialFacts& material = facts[i];
        if (!coverage[i] || !material.square || !material.opaque) continue;
        const float(&opaque)[4] = coverage[i]->opaque;
        largest = std::max(
            largest, std::min((opaque[2] - opaque[0]) * 2 * material.halfWidth * acrossPerMetre,
                              (opaque[3] - opaque[1]) * 2 * material.halfHeight * downPerMetre));
    }
    return nearest > 0 && largest / nearest >= tileSize;
}

void CoveredTiles::reset(int width, int height) {
    width_ = width, height_ = height;
    columns_ = (width + tileSize - 1) / tileSize;
    rows_ = (height + tileSize - 1) / tileSize;
    tileCover_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), inf);
}

bool CoveredTiles::occludeBySummedArea(const Extent& whole, const PictureCoverage& picture,
                                       float depth) {
    const auto [x0, y0, x1, y1] = whole;
    const float texels = static_cast<float>(picture.width);
    const float reach = filterReach(texels, x1 - x0);
    const float acrossPerPixel = texels / (x1 - x0);
    const float downPerPixel = static_cast<float>(picture.height) / (y1 - y0);
    const int tx0 = static_cast<int>(std::ceil(std::max(x0, 0.0f) / tileSize));
    const int ty0 = static_cast<int>(std::ceil(std::max(y0, 0.0f) / tileSize));
    // The texel columns each tile column reads, worked out once.
    coverColumns_.clear();
    for (int tx = tx0; tx * tileSize < width_ && static_cast<float>((tx + 1) * tileSize) <= x1;
         ++tx) {
        const float left = static_cast<float>(tx * tileSize) - 1;
        const float right = static_cast<float>(std::min((tx + 1) * tileSize, width_)) + 1;
        coverColumns_.push_back(
            {static_cast<int>(std::floor((left - x0) * acrossPerPixel - reach)),
             static_cast<int>(std::ceil((right - x0) * acrossPerPixel + reach))});
    }
    bool any = false;
    for (int ty = ty0; ty * tileSize < height_ && static_cast<float>((ty + 1) * tileSize) <= y1;
         ++ty) {
        const float top = static_cast<float>(std::min((ty + 1) * tileSize, height_)) + 1;
        const float bottom = static_cast<float>(ty * tileSize) - 1;
        // t runs down from the picture's top, the screen's y upwards.
        const int b0 = static_cast<int>(std::floor((y1 - top) * downPerPixel - reach));
        const int b1 = static_cast<int>(std::ceil((y1 - bottom) * downPerPixel + reach));
        if (b0 < 0 || b1 > picture.height) continue;
        float* row = tileCover_.data() + static_cast<std::size_t>(ty * columns_ + tx0);
        for (std::size_t i = 0; i < coverColumns_.size(); ++i) {
            const auto [a0, a1] = coverColumns_[i];
            if (row[i] <= depth || a0 < 0 || a1 > picture.width ||
                picture.seeThrough(a0, b0, a1, b1) != 0)
                continue;
            row[i] = depth;
            any = true;
        }
    }
    return any;
}

bool CoveredTiles::occludeRectangle(const Extent& middle, float depth) {
    const float w = static_cast<float>(width_), h = static_cast<float>(height_);
    const int x0 = static_cast<int>(std::ceil(std::clamp(middle[0], 0.0f, w) / tileSize));
    const int y0 = static_cast<int>(std::ceil(std::clamp(middle[1], 0.0f, h) / tileSize));
    bool any = false;
    for (int y = y0;
         y < rows_ && static_cast<float>(std::min((y + 1) * tileSize, height_)) <= middle[3]; ++y)
        for (int x = x0;
             x < columns_ && static_cast<float>(std::min((x + 1) * tileSize, width_)) <= middle[2];
             ++x) {
            cover(x, y, depth);
            any = true;
        }
    return any;
}

bool CoveredTiles::update(int width, int height, const CullingInput& input) {
    trimmed_ = 0;
    if (width <= 0 || height <= 0) return false;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const auto& entries = input.cache->entries();
    const auto& facts = *input.facts;
    const auto& extents = *input.extents;
    const ScreenView& view = *input.view;
    reset(width, height);
    slotDepth_.assign(entries.size(), -inf);
    auto toPixels = [&](const Extent& e) {
        return Extent{(e[0] * 0.5f + 0.5f) * w, (e[1] * 0.5f + 0.5f) * h, (e[2] * 0.5f + 0.5f) * w,
                      (e[3] * 0.5f + 0.5f) * h};
    };
    const scene::Vector3 eye = view.eye();
    const scene::Vector3 forward = view.forward();
    // A plane is hidden only behind cover nearer than the depth that lies
    // this far (of the buffer's whole range) in front of its own.
    const double n = input.depthNear, f = input.depthFar, margin = 1.0 / 8192;
    bool covered = false;
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        const SceneCache::Entry& entry = entries[slot];
        if (entry.look == SceneCache::none) continue;
        const MaterialFacts& material = facts[entry.look];
        const PictureCoverage* picture = (*input.coverage)[entry.look];
        // Only a sprite whose quad the vertex shader can cut is left out.
        if (!material.square || material.texture == 0 || !picture) continue;
        const float depth = scene::dot(entry.centre - eye, forward);
        if (!(depth > 0)) continue;
        const double window = f * (depth - n) / ((f - n) * depth) - margin;
        if (window > 0) slotDepth_[slot] = static_cast<float>(n * f / (f - window * (f - n)));
        // Only a fully opaque sprite occludes anything.
        const float(&opaque)[4] = picture->opaque;
        if (!material.opaque || !(opaque[2] > opaque[0] && opaque[3] > opaque[1])) continue;
        const Extent whole = toPixels(extents[slot]);
        // Too small to cover a tile, or reaching behind the eye.
        if (!finite(whole) || whole[2] - whole[0] < tileSize || whole[3] - whole[1] < tileSize)
            continue;
        if (picture->hasSummedArea()) {
            covered |= occludeBySummedArea(whole, *picture, depth);
            continue;
        }
        const float texelsWide = static_cast<float>(picture->width);
        const float texelsHigh = static_cast<float>(picture->height);
        const float reach = filterReach(texelsWide, whole[2] - whole[0]);
        const float s0 = opaque[0] + reach / texelsWide;
        const float s1 = opaque[2] - reach / texelsWide;
        const float t0 = opaque[1] + reach / texelsHigh;
        const float t1 = opaque[3] - reach / texelsHigh;
        if (!(s1 > s0 && t1 > t0)) continue;
        // (s, t) runs down from the picture's top; the quad runs upwards.
        Extent middle =
            toPixels(view.quadExtent(entry.centre, material.halfWidth, material.halfHeight,
                                     {s0 * 2 - 1, 1 - t1 * 2, s1 * 2 - 1, 1 - t0 * 2}));
        if (!finite(middle)) continue;
        // A pixel's worth of rounding to spare.
        middle = {middle[0] + 1, middle[1] + 1, middle[2] - 1, middle[3] - 1};
        covered |= occludeRectangle(middle, depth);
    }
    if (!covered) return false;

    // Each sprite over the rectangle of the tiles its extent touches (a
    // pixel wider) where nothing nearer covers them, or over two such
    // rectangles one above the other where those leave out much more;
    // nothing of it when there are none, on the screen or not hidden.
    slotParts_.assign(entries.size() * 2, 0);
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        slotParts_[slot * 2] = wholePart;
        const float depth = slotDepth_[slot];
        if (depth == -inf) continue;
        const Extent e = toPixels(extents[slot]);
        if (!finite(e) || !(e[2] > e[0] && e[3] > e[1])) continue;
        TileBox pieces[2];
        if (e[2] >= -1 && e[0] <= w + 1 && e[3] >= -1 && e[1] <= h + 1) {
            auto tileOf = [&](float p, float size) {
                return static_cast<int>(std::floor(std::clamp(p, 0.0f, size - 1) / tileSize));
            };
            split(tileOf(e[0] - 1, w), tileOf(e[1] - 1, h), tileOf(e[2] + 1, w),
                  tileOf(e[3] + 1, h), depth, pieces);
        }
        slotParts_[slot * 2] = partOf(pieces[0], e);
        slotParts_[slot * 2 + 1] = partOf(pieces[1], e);
        if (slotParts_[slot * 2] != wholePart || slotParts_[slot * 2 + 1] != 0) ++trimmed_;
    }
    return true;
}

Part CoveredTiles::partOf(const TileBox& box, const Extent& e) const {
    if (box.empty()) return 0;
    const float px0 = static_cast<float>(box.x0 * tileSize);
    const float px1 = static_cast<float>(std::min((box.x1 + 1) * tileSize, width_));
    const float py0 = static_cast<float>(box.y0 * tileSize);
    const float py1 = static_cast<float>(std::min((box.y1 + 1) * tileSize, height_));
    auto low = [](double fraction) {
        return static_cast<Part>(std::clamp(std::floor(fraction * 65535), 0.0, 65535.0));
    };
    auto high = [](double fraction) {
        return static_cast<Part>(std::clamp(std::ceil(fraction * 65535), 0.0, 65535.0));
    };
    const double across = e[2] - e[0], down = e[3] - e[1];
    return low((px0 - e[0]) / across) | low((e[3] - py1) / down) << 16 |
           high((px1 - e[0]) / across) << 32 | high((e[3] - py0) / down) << 48;
}

void CoveredTiles::split(int x0, int y0, int x1, int y1, float depth, TileBox (&pieces)[2]) {
    // Each row's open tiles, from both ends of the row inwards, and those of
    // the rows from each to the last.
    const std::size_t rows = static_cast<std::size_t>(y1 - y0 + 1);
    rowBoxes_.assign(rows, TileBox{});
    for (int y = y0; y <= y1; ++y) {
        const float* row = tileCover_.data() + static_cast<std::size_t>(y * columns_);
        int first = x0, last = x1;
        while (first <= x1 && row[first] < depth) ++first;
        if (first > x1) continue;
        while (row[last] < depth) --last;
        rowBoxes_[static_cast<std::size_t>(y - y0)] = TileBox{first, y, last, y};
    }
    fromRow_.assign(rows, TileBox{});
    TileBox after;
    for (std::size_t r = rows; r-- > 0;) {
        after.add(rowBoxes_[r]);
        fromRow_[r] = after;
    }
    pieces[0] = after;
    pieces[1] = TileBox{};
    long best = after.area() * 4 / 5;
    TileBox before;
    for (std::size_t r = 1; r < rows; ++r) {
        before.add(rowBoxes_[r - 1]);
        const long area = before.area() + fromRow_[r].area();
        if (area < best) best = area, pieces[0] = before, pieces[1] = fromRow_[r];
    }
}

}  // namespace render
