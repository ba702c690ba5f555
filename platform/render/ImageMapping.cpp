#include "platform/render/ImageMapping.h"

#include "platform/Precondition.h"

namespace render {

using graphics::ImageOrientation;

StoredMapping storedMapping(ImageOrientation orientation) {
    // Read off the meaning of each tag: "left" pixels must be turned a
    // quarter counter-clockwise to be upright, so the shown top-left corner
    // is the stored top-right one, and so on.
    switch (orientation) {
        case ImageOrientation::up: return {{0, 0}, {1, 0}, {0, 1}};
        case ImageOrientation::down: return {{1, 1}, {-1, 0}, {0, -1}};
        case ImageOrientation::left: return {{1, 0}, {0, 1}, {-1, 0}};
        case ImageOrientation::right: return {{0, 1}, {0, -1}, {1, 0}};
        case ImageOrientation::upMirrored: return {{1, 0}, {-1, 0}, {0, 1}};
        case ImageOrientation::downMirrored: return {{0, 1}, {1, 0}, {0, -1}};
        case ImageOrientation::leftMirrored: return {{0, 0}, {0, 1}, {1, 0}};
        case ImageOrientation::rightMirrored: return {{1, 1}, {0, -1}, {-1, 0}};
    }
    platform::unreachable("storedMapping");
}

graphics::AffineTransform storedToRect(ImageOrientation orientation, double storedWidth,
                                       double storedHeight, const graphics::Rect& rect) {
    // The inverse of the mapping above: stored (u, v) to shown (s, t). For
    // these eight mappings the axes are orthonormal, so the inverse is the
    // transpose.
    StoredMapping m = storedMapping(orientation);
    // s = sAxis · ((u, v) − origin), t = tAxis · ((u, v) − origin).
    double su = m.sAxis.x, sv = m.sAxis.y, tu = m.tAxis.x, tv = m.tAxis.y;
    double s0 = -(su * m.origin.x + sv * m.origin.y);
    double t0 = -(tu * m.origin.x + tv * m.origin.y);
    double w = rect.width(), h = rect.height();
    // x = rect.x + w · s with u = X / storedWidth, v = Y / storedHeight.
    graphics::AffineTransform t;
    t.a = w * su / storedWidth;
    t.c = w * sv / storedHeight;
    t.tx = rect.origin.x + w * s0;
    t.b = h * tu / storedWidth;
    t.d = h * tv / storedHeight;
    t.ty = rect.origin.y + h * t0;
    return t;
}

}  // namespace render
