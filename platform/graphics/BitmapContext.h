// A bitmap context as the 2-D drawing library offers it: a bitmap of a
// given size and layout with a current transform; coordinates are pixels
// with the origin at the bottom-left corner and y upwards.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/graphics/Backend.h"

namespace graphics {

class BitmapContext {
public:
    // A context of `width` by `height` pixels, or none when no context can
    // be made for that size and layout. `bytesPerRow` 0 lets the library
    // choose.
    static std::unique_ptr<BitmapContext> create(std::size_t width, std::size_t height,
                                                 int bitsPerComponent, std::size_t bytesPerRow,
                                                 ColorSpace colorSpace, AlphaInfo alphaInfo);

    int width() const { return width_; }
    int height() const { return height_; }

    // Later drawing is mapped through `transform` first, then through the
    // transform so far.
    void concatCTM(const AffineTransform& transform);

    // The bitmap scaled to fill `rect`, its top row along the rectangle's
    // top (largest y) edge, mapped through the current transform.
    void drawImage(const Rect& rect, const Bitmap& image);

    std::shared_ptr<Bitmap> makeImage() const;

private:
    BitmapContext(int width, int height, std::unique_ptr<Canvas> canvas);

    int width_;
    int height_;
    AffineTransform ctm_;
    std::unique_ptr<Canvas> canvas_;
};

}  // namespace graphics
