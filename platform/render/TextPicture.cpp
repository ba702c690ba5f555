#include "platform/render/TextPicture.h"

#include <cmath>
#include <string>

#include "platform/graphics/Backend.h"

namespace render {

namespace {
// The text's picture and its baseline in pixels from the top.
std::pair<std::shared_ptr<graphics::Bitmap>, double> draw(std::string_view text,
                                                          const graphics::Font& font,
                                                          const graphics::Color& color,
                                                          double scale, graphics::Size size) {
    int width = static_cast<int>(std::ceil(size.width * scale)) + 2;
    int height = static_cast<int>(std::ceil(size.height * scale)) + 2;
    auto canvas = graphics::backend().makeCanvas(width, height, {});
    if (!canvas) return {nullptr, 0};
    graphics::Rect rect{{0, 0}, {size.width + 2 / scale, size.height + 2 / scale}};
    double baseline = canvas->drawText(text, rect, font, color, {scale, 0, 0, scale, 0, 0});
    return {canvas->makeBitmap(), baseline * scale};
}

}  // namespace

std::optional<TextPicture> drawTextPicture(std::string_view text, const graphics::Font& font,
                                           const graphics::Color& color, double scale) {
    if (text.empty() || scale <= 0) return std::nullopt;
    auto& backend = graphics::backend();
    graphics::Size size = backend.measureText(text, font, 0);
    if (size.width <= 0 || size.height <= 0) return std::nullopt;
    auto [bitmap, baseline] = draw(text, font, color, scale, size);
    if (!bitmap) return std::nullopt;
    return TextPicture{bitmap, baseline, size.width * scale, size.height * scale};
}

}  // namespace render
