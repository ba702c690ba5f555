// A 2-D affine transform (a, b, c, d, tx, ty) mapping (x, y) to
// (a·x + c·y + tx, b·x + d·y + ty). Translate, rotate and scale apply the new
// operation to points before the existing transform, the way the drawing
// library composes a context's current transform.
#pragma once

#include "platform/graphics/Geometry.h"

namespace graphics {

struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }

    Point apply(Point point) const {
        return {a * point.x + c * point.y + tx, b * point.x + d * point.y + ty};
    }
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// `first` acts on points, then `then`.
AffineTransform concat(const AffineTransform& first, const AffineTransform& then);
AffineTransform translate(const AffineTransform& transform, double tx, double ty);
AffineTransform rotate(const AffineTransform& transform, double angle);
AffineTransform scale(const AffineTransform& transform, double sx, double sy);

}  // namespace graphics
