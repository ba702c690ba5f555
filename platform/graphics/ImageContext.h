// Image contexts as the application framework offers them: begin a context
// of a size in points at a scale, draw into the current one (origin top-left,
// y downwards, in points), take its image, end it. Contexts nest.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "platform/graphics/Backend.h"

namespace graphics {

// The scale of the main screen (pixels per point) of the graphics context
// in force (Context.h); what scale 0 stands for.
double mainScreenScale();

class ImageContext {
public:
    ImageContext(Size size, bool opaque, double scale, std::unique_ptr<Canvas> canvas);

    Size size() const { return size_; }
    double scale() const { return scale_; }
    bool opaque() const { return opaque_; }

    // The colour later fills use; text keeps its own colour attribute.
    void setCurrentColor(const Color& color) { currentColor_ = color; }

    // A string drawn from the top-left corner of `rect`, clipped to it.
    void drawString(std::string_view text, const Rect& rect, const Font& font,
                    const Color& color = Color::black());
    // A bitmap stretched to fill `rect`, its top row along the rectangle's
    // top edge.
    void drawBitmap(const Bitmap& bitmap, const Rect& rect);
    void fillRect(const Rect& rect);

    // A new image of the contents. Images that show the same pixels share
    // one bitmap, which is never changed.
    std::shared_ptr<Image> makeImage() const;

    // The transform from this context's points to its pixels.
    AffineTransform pointsToPixels() const { return {scale_, 0, 0, scale_, 0, 0}; }

private:
    Size size_;
    bool opaque_;
    double scale_;
    Color currentColor_ = Color::black();
    std::unique_ptr<Canvas> canvas_;
};

// Begins a context of `size` points; scale 0 means the main screen's scale.
// A size with no pixels, or one the back end cannot make, gives a context
// that yields no image.
void beginImageContextWithOptions(Size size, bool opaque, double scale);
// The innermost context, or none.
ImageContext* currentImageContext();
// The current context's contents as an image; none without a context.
std::shared_ptr<Image> getImageFromCurrentImageContext();
void endImageContext();

// What a string is drawn with; unset entries take the defaults (the system
// font at 12 points, black).
struct TextAttributes {
    std::optional<Font> font;
    std::optional<Color> foregroundColor;
};

// Makes `color` the current context's colour for later fills.
void setCurrentColor(const Color& color);
// Draws `text` into the current context from the top-left corner of `rect`,
// clipped to it. Without a context nothing is drawn.
void drawStringInRect(std::string_view text, const Rect& rect, const TextAttributes& attributes);

}  // namespace graphics
