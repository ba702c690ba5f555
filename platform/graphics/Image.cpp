#include "platform/graphics/Image.h"

#include "platform/Precondition.h"

namespace graphics {

std::string_view orientationName(ImageOrientation orientation) {
    switch (orientation) {
        case ImageOrientation::up: return "up";
        case ImageOrientation::down: return "down";
        case ImageOrientation::left: return "left";
        case ImageOrientation::right: return "right";
        case ImageOrientation::upMirrored: return "upMirrored";
        case ImageOrientation::downMirrored: return "downMirrored";
        case ImageOrientation::leftMirrored: return "leftMirrored";
        case ImageOrientation::rightMirrored: return "rightMirrored";
    }
    platform::unreachable("orientationName");
}

Image::Image(std::shared_ptr<const Bitmap> cgImage, double scale, ImageOrientation orientation)
    : bitmap_(std::move(cgImage)), scale_(scale), orientation_(orientation) {
    platform::require(bitmap_ != nullptr, "Image", "an image needs a bitmap");
    platform::require(scale_ > 0, "Image", "the scale must be positive");
}

Size Image::size() const {
    double w = bitmap_->width() / scale_;
    double h = bitmap_->height() / scale_;
    switch (orientation_) {
        case ImageOrientation::up:
        case ImageOrientation::down:
        case ImageOrientation::upMirrored:
        case ImageOrientation::downMirrored: return {w, h};
        case ImageOrientation::left:
        case ImageOrientation::right:
        case ImageOrientation::leftMirrored:
        case ImageOrientation::rightMirrored: return {h, w};
    }
    platform::unreachable("Image::size");
}

}  // namespace graphics
