// Text drawn and measured by the graphics back end: measurements do not
// depend on what was drawn before or at which scale, and a string drawn
// again comes out the same.
#include <gtest/gtest.h>

#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"

namespace {

std::shared_ptr<graphics::Image> drawText(std::string_view text, double scale,
                                          graphics::Color color = graphics::Color::black()) {
    graphics::beginImageContextWithOptions({120, 30}, false, scale);
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(17);
    attributes.foregroundColor = color;
    graphics::drawStringInRect(text, {{0, 0}, {120, 30}}, attributes);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    return image;
}

// Measuring gives the same before and after drawing at other scales, and
// wraps at the width given.
TEST(Measuring, DoesNotDependOnDrawingAtAnotherScaleAndWrapsAtTheGivenWidth) {
    graphics::Font font = graphics::Font::systemFont(17);
    graphics::Size before = graphics::backend().measureText("Save the drawing", font, 0);
    drawText("Save the drawing", 3);
    drawText("Save the drawing", 2);
    EXPECT_EQ(graphics::backend().measureText("Save the drawing", font, 0), before);
    EXPECT_GT(before.width, 100);
    EXPECT_LT(before.width, 160);
    graphics::Size wrapped = graphics::backend().measureText("Save the drawing", font, 60);
    EXPECT_LE(wrapped.width, 60);
    EXPECT_GE(wrapped.height, 2 * before.height);
}

TEST(Drawing, TheSameStringComesOutTheSameEveryTime) {
    auto first = drawText("Hello", 2);
    drawText("Other words", 3);
    auto again = drawText("Hello", 2);
    EXPECT_TRUE(first->cgImage()->samePixels(*again->cgImage()));
    EXPECT_EQ(first->cgImage()->width(), 240);
}

TEST(Drawing, KeepsTheColourAskedFor) {
    // Drawn in white once and in black once, the same string keeps its
    // shape and takes each colour.
    auto white = drawText("Hi", 1, graphics::Color::white());
    auto black = drawText("Hi", 1, graphics::Color::black());
    bool sawWhite = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            graphics::Rgba w = white->cgImage()->pixel(x, y), b = black->cgImage()->pixel(x, y);
            ASSERT_EQ(w.a, b.a);
            ASSERT_EQ(b.r, 0);
            if (w.a == 255 && w.r == 255) sawWhite = true;
        }
    EXPECT_TRUE(sawWhite);
}

}  // namespace
