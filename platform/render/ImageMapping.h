// How an image's stored pixels map onto the rectangle where it is shown
// upright, for each orientation tag: the scene's planes and the framework's
// panels both show tagged images the way they are meant to be seen.
#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace render {

// Where a point of the shown picture comes from in the stored one: the shown
// picture's (s, t) in [0, 1]², s to the right and t downwards, lands at the
// stored (u, v) = origin + s · sAxis + t · tAxis, also in [0, 1]² with v
// downwards.
struct StoredMapping {
    graphics::Point origin;
    graphics::Point sAxis;
    graphics::Point tAxis;
};

StoredMapping storedMapping(graphics::ImageOrientation orientation);

// The transform from the stored bitmap's pixels (origin top-left, y down)
// to `rect` with the picture upright, for a bitmap of `storedWidth` by
// `storedHeight` pixels.
graphics::AffineTransform storedToRect(graphics::ImageOrientation orientation, double storedWidth,
                                       double storedHeight, const graphics::Rect& rect);

}  // namespace render
