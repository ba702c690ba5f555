#include "platform/graphics/AffineTransform.h"

#include <cmath>

namespace graphics {

AffineTransform concat(const AffineTransform& t1, const AffineTransform& t2) {
    // Row-vector form: [x y 1] · t1 · t2.
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

AffineTransform translate(const AffineTransform& transform, double tx, double ty) {
    return concat({1, 0, 0, 1, tx, ty}, transform);
}

AffineTransform rotate(const AffineTransform& transform, double angle) {
    double s = std::sin(angle);
    double c = std::cos(angle);
    return concat({c, s, -s, c, 0, 0}, transform);
}

AffineTransform scale(const AffineTransform& transform, double sx, double sy) {
    return concat({sx, 0, 0, sy, 0, 0}, transform);
}

}  // namespace graphics
