#include "platform/render/PictureCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace render {

namespace {

std::uint8_t alphaAt(const graphics::Bitmap& bitmap, int x, int y) {
    return bitmap.data()[static_cast<std::size_t>(y) * bitmap.bytesPerRow() +
                         static_cast<std::size_t>(x) * 4 + 3];
}

void visibleBounds(const graphics::Bitmap& bitmap, float (&bounds)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    int x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (alphaAt(bitmap, x, y) != 0) {
                x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
                y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
            }
    if (x1 <= x0) x0 = 0, y0 = 0, x1 = 1, y1 = 1;
    bounds[0] = static_cast<float>(x0) / static_cast<float>(w);
    bounds[1] = static_cast<float>(y0) / static_cast<float>(h);
    bounds[2] = static_cast<float>(x1) / static_cast<float>(w);
    bounds[3] = static_cast<float>(y1) / static_cast<float>(h);
}

// Row by row, each column's run of opaque texels ending there is a bar of a
// histogram, and the largest rectangle under it is found with a stack of
// rising bars.
void opaqueBounds(const graphics::Bitmap& bitmap, float (&bounds)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<int> heights(static_cast<std::size_t>(w) + 1, 0);
    std::vector<int> rising;
    long best = 0;
    int bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int& bar = heights[static_cast<std::size_t>(x)];
            bar = alphaAt(bitmap, x, y) == 255 ? bar + 1 : 0;
        }
        rising.clear();
        for (int x = 0; x <= w; ++x) {
            const int bar = heights[static_cast<std::size_t>(x)];
            while (!rising.empty() && heights[static_cast<std::size_t>(rising.back())] >= bar) {
                const int top = heights[static_cast<std::size_t>(rising.back())];
                rising.pop_back();
                const int left = rising.empty() ? 0 : rising.back() + 1;
                const long area = static_cast<long>(top) * (x - left);
                if (area > best) best = area, bx0 = left, bx1 = x, by0 = y + 1 - top, by1 = y + 1;
            }
            rising.push_back(x);
        }
    }
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    bounds[0] = static_cast<float>(bx0) / fw;
    bounds[1] = static_cast<float>(by0) / fh;
    bounds[2] = static_cast<float>(bx1) / fw;
    bounds[3] = static_cast<float>(by1) / fh;
}

// A point of the quad whose distances in from a corner of the visible part
// widened by filtering's reach add up to no more than the cut reads only
// fully transparent texels.
void transparentCorners(const graphics::Bitmap& bitmap, const float (&visible)[4],
                        float (&cuts)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    std::fill(std::begin(cuts), std::end(cuts), 0.0f);
    if (w != h || w <= 0) return;
    const int x0 = static_cast<int>(std::lround(visible[0] * static_cast<float>(w)));
    const int y0 = static_cast<int>(std::lround(visible[1] * static_cast<float>(h)));
    const int x1 = static_cast<int>(std::lround(visible[2] * static_cast<float>(w))) - 1;
    const int y1 = static_cast<int>(std::lround(visible[3] * static_cast<float>(h))) - 1;
    int nearest[4] = {w + h, w + h, w + h, w + h};
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (alphaAt(bitmap, x, y) == 0) continue;
            nearest[0] = std::min(nearest[0], (x - x0) + (y - y0));
            nearest[1] = std::min(nearest[1], (x1 - x) + (y - y0));
            nearest[2] = std::min(nearest[2], (x1 - x) + (y1 - y));
            nearest[3] = std::min(nearest[3], (x - x0) + (y1 - y));
        }
    for (int i = 0; i < 4; ++i)
        cuts[i] =
            nearest[i] == w + h ? 0.0f : static_cast<float>(nearest[i]) / static_cast<float>(w);
}

std::vector<std::uint32_t> summedAreaOfSeeThrough(const graphics::Bitmap& bitmap) {
    const std::size_t w = static_cast<std::size_t>(bitmap.width());
    const std::size_t h = static_cast<std::size_t>(bitmap.height());
    std::vector<std::uint32_t> table((w + 1) * (h + 1), 0);
    for (std::size_t y = 0; y < h; ++y) {
        std::uint32_t inRow = 0;
        for (std::size_t x = 0; x < w; ++x) {
            inRow += alphaAt(bitmap, static_cast<int>(x), static_cast<int>(y)) != 255 ? 1 : 0;
            table[(y + 1) * (w + 1) + x + 1] = table[y * (w + 1) + x + 1] + inRow;
        }
    }
    return table;
}

}  // namespace

PictureCoverage PictureCoverage::of(const graphics::Bitmap& bitmap) {
    PictureCoverage coverage;
    coverage.width = bitmap.width();
    coverage.height = bitmap.height();
    if (coverage.width <= 0 || coverage.height <= 0) return coverage;
    visibleBounds(bitmap, coverage.visible);
    opaqueBounds(bitmap, coverage.opaque);
    transparentCorners(bitmap, coverage.visible, coverage.corners);
    if (coverage.width <= maxSummedAreaSide && coverage.height <= maxSummedAreaSide)
        coverage.summedArea = summedAreaOfSeeThrough(bitmap);
    return coverage;
}

std::uint32_t PictureCoverage::seeThrough(int x0, int y0, int x1, int y1) const {
    const std::size_t stride = static_cast<std::size_t>(width) + 1;
    auto at = [&](int x, int y) {
        return summedArea[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)];
    };
    return at(x1, y1) + at(x0, y0) - at(x1, y0) - at(x0, y1);
}

float filterReach(float texels, float pixels) {
    const float texelsPerPixel = texels / std::max(pixels, 1e-6f);
    return texelsPerPixel > 1 ? std::exp2(std::ceil(std::log2(texelsPerPixel)) + 1) : 1.0f;
}

}  // namespace render
