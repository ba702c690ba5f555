// A line of text drawn into a bitmap with the graphics back end, with where
// its baseline lies: the overlay's labels are placed by the left end of their
// baseline, which the back end's measuring does not report.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"

namespace render {

struct TextPicture {
    std::shared_ptr<graphics::Bitmap> bitmap;
    // The baseline's distance from the bitmap's top edge, in pixels.
    double baseline = 0;
    // The text's size as laid out, in pixels (the bitmap has a margin).
    double width = 0;
    double height = 0;
};

// `text` in `font` and `color` at `scale` pixels per point, its layout's
// top-left corner at the bitmap's; none for text that draws nothing.
std::optional<TextPicture> drawTextPicture(std::string_view text, const graphics::Font& font,
                                           const graphics::Color& color, double scale);

}  // namespace render
