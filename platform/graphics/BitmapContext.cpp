#include "platform/graphics/BitmapContext.h"

#include <limits>

namespace graphics {

BitmapContext::BitmapContext(int width, int height, std::unique_ptr<Canvas> canvas)
    : width_(width), height_(height), canvas_(std::move(canvas)) {}

std::unique_ptr<BitmapContext> BitmapContext::create(std::size_t width, std::size_t height,
                                                     int bitsPerComponent, std::size_t bytesPerRow,
                                                     ColorSpace colorSpace, AlphaInfo alphaInfo) {
    // Bitmaps are kept as 8-bit RGBA; a layout we cannot hold gets no context,
    // as does a size that would not fit in memory.
    constexpr std::size_t maxSide = 1u << 15;
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) return nullptr;
    if (bitsPerComponent != 8) return nullptr;
    if (bytesPerRow != 0 && bytesPerRow < width * 4) return nullptr;
    BitmapFormat format{bitsPerComponent, colorSpace, alphaInfo};
    auto canvas = backend().makeCanvas(static_cast<int>(width), static_cast<int>(height), format);
    if (!canvas) return nullptr;
    return std::unique_ptr<BitmapContext>(
        new BitmapContext(static_cast<int>(width), static_cast<int>(height), std::move(canvas)));
}

void BitmapContext::concatCTM(const AffineTransform& transform) { ctm_ = concat(transform, ctm_); }

void BitmapContext::drawImage(const Rect& rect, const Bitmap& image) {
    if (image.width() == 0 || image.height() == 0) return;
    // The bitmap's pixel space (y down) into the rectangle (y up): its top
    // row lands on the rectangle's largest y.
    AffineTransform imageToUser{
        rect.width() / image.width(), 0, 0, -rect.height() / image.height(), rect.origin.x,
        rect.origin.y + rect.height()};
    // The context's y-up pixels into the canvas' y-down pixels.
    AffineTransform flip{1, 0, 0, -1, 0, static_cast<double>(height_)};
    canvas_->drawBitmap(image, concat(concat(imageToUser, ctm_), flip));
}

std::shared_ptr<Bitmap> BitmapContext::makeImage() const { return canvas_->makeBitmap(); }

}  // namespace graphics
