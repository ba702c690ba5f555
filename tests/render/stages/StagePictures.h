// Small pictures for the stages' tests, drawn texel by texel: shapes whose
// coverage is known by construction.
#pragma once

#include <cmath>
#include <functional>
#include <memory>

#include "platform/graphics/Bitmap.h"

namespace stagetest {

// A `width` by `height` picture whose texel (x, y) has alpha `alpha(x, y)`
// (white, premultiplied).
inline std::shared_ptr<graphics::Bitmap> pictureOf(int width, int height,
                                                   const std::function<int(int, int)>& alpha) {
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto a = static_cast<std::uint8_t>(alpha(x, y));
            bitmap->setPixel(x, y, {a, a, a, a});
        }
    return bitmap;
}

// Fully opaque inside the ring between radii `inner` and `outer` about the
// picture's middle, transparent elsewhere.
inline std::shared_ptr<graphics::Bitmap> ring(int side, double inner, double outer) {
    return pictureOf(side, side, [=](int x, int y) {
        const double r = std::hypot(x + 0.5 - side / 2.0, y + 0.5 - side / 2.0);
        return r >= inner && r <= outer ? 255 : 0;
    });
}

inline std::shared_ptr<graphics::Bitmap> disc(int side, double radius) {
    return ring(side, -1, radius);
}

}  // namespace stagetest
