// An image: a stored bitmap with a scale (pixels per point) and an
// orientation tag that says how the stored pixels must be turned to be seen
// upright. Images are shared and never change once made.
#pragma once

#include <memory>
#include <string_view>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"

namespace graphics {

enum class ImageOrientation {
    up = 0,
    down = 1,
    left = 2,
    right = 3,
    upMirrored = 4,
    downMirrored = 5,
    leftMirrored = 6,
    rightMirrored = 7,
};

std::string_view orientationName(ImageOrientation orientation);

class Image {
public:
    // Wraps a stored bitmap; scale 1 and orientation up unless given.
    explicit Image(std::shared_ptr<const Bitmap> cgImage, double scale = 1.0,
                   ImageOrientation orientation = ImageOrientation::up);

    // The size as displayed, in points: the stored size divided by the
    // scale, with width and height exchanged for the quarter-turn tags.
    Size size() const;
    double scale() const { return scale_; }
    ImageOrientation imageOrientation() const { return orientation_; }
    const std::shared_ptr<const Bitmap>& cgImage() const { return bitmap_; }

private:
    std::shared_ptr<const Bitmap> bitmap_;
    double scale_;
    ImageOrientation orientation_;
};

}  // namespace graphics
