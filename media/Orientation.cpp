// Pictures made upright: the stored pixels are redrawn through the affine
// transform that their orientation tag calls for, into a bitmap of the
// upright size.
#include <cmath>
#include <numbers>

#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/graphics/BitmapContext.h"

namespace scrawlet {

namespace {
using graphics::ImageOrientation;

// The transform that takes the stored pixels to upright ones, for a picture
// that is w by h points as displayed.
graphics::AffineTransform uprightTransform(ImageOrientation orientation, double w, double h) {
    constexpr double pi = std::numbers::pi;
    auto m = graphics::AffineTransform::identity();
    switch (orientation) {
        case ImageOrientation::down:
        case ImageOrientation::downMirrored:
            m = graphics::rotate(graphics::translate(m, w, h), pi);
            break;
        case ImageOrientation::left:
        case ImageOrientation::leftMirrored:
            m = graphics::rotate(graphics::translate(m, w, 0), pi / 2);
            break;
        case ImageOrientation::right:
        case ImageOrientation::rightMirrored:
            m = graphics::rotate(graphics::translate(m, 0, h), -pi / 2);
            break;
        case ImageOrientation::up:
        case ImageOrientation::upMirrored: break;
    }
    switch (orientation) {
        case ImageOrientation::upMirrored:
        case ImageOrientation::downMirrored:
            m = graphics::scale(graphics::translate(m, w, 0), -1, 1);
            break;
        case ImageOrientation::leftMirrored:
        case ImageOrientation::rightMirrored:
            // The height, not the width: the stored picture lies on its side.
            m = graphics::scale(graphics::translate(m, h, 0), -1, 1);
            break;
        case ImageOrientation::up:
        case ImageOrientation::down:
        case ImageOrientation::left:
        case ImageOrientation::right: break;
    }
    return m;
}

bool liesOnItsSide(ImageOrientation orientation) {
    switch (orientation) {
        case ImageOrientation::left:
        case ImageOrientation::right:
        case ImageOrientation::leftMirrored:
        case ImageOrientation::rightMirrored: return true;
        case ImageOrientation::up:
        case ImageOrientation::down:
        case ImageOrientation::upMirrored:
        case ImageOrientation::downMirrored: return false;
    }
    platform::unreachable("liesOnItsSide");
}
}  // namespace

std::shared_ptr<const graphics::Image> ViewController::normalizedImage(
    const std::shared_ptr<const graphics::Image>& image) {
    platform::require(image != nullptr, "normalizedImage", "no image given");
    ImageOrientation orientation = image->imageOrientation();
    if (orientation == ImageOrientation::up) return image;

    graphics::Size size = image->size();
    double w = size.width;
    double h = size.height;
    graphics::AffineTransform m = uprightTransform(orientation, w, h);

    // A picture whose upright size has no whole pixel, or is too large for
    // a bitmap, is kept as it is rather than lost.
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1) return image;
    const graphics::Bitmap& stored = *image->cgImage();
    const graphics::BitmapFormat& format = stored.format();
    auto context = graphics::BitmapContext::create(
        static_cast<std::size_t>(std::trunc(w)), static_cast<std::size_t>(std::trunc(h)),
        format.bitsPerComponent, 0, format.colorSpace, format.alphaInfo);
    if (!context) return image;
    context->concatCTM(m);
    graphics::Rect rect = liesOnItsSide(orientation) ? graphics::Rect{{0, 0}, {h, w}}
                                                     : graphics::Rect{{0, 0}, {w, h}};
    context->drawImage(rect, stored);
    return std::make_shared<graphics::Image>(context->makeImage());
}

}  // namespace scrawlet
