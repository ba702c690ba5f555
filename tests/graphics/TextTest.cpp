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

// A string drawn again, after others and in another colour, comes out the
// same: white once and black once, it keeps its shape and takes each
// colour.
TEST(Drawing, TheSameStringComesOutTheSameEveryTimeInTheColourAskedFor) {
    auto first = drawText("Hello", 2);
    drawText("Other words", 3);
    EXPECT_TRUE(first->cgImage()->samePixels(*drawText("Hello", 2)->cgImage()));
    EXPECT_EQ(first->cgImage()->width(), 240);
    auto white = drawText("Hi", 1, graphics::Color::white());
    auto black = drawText("Hi", 1, graphics::Color::black());
    bool sawWhite = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            graphics::Rgba w = white->cgImage()->pixel(x, y), b = black->cgImage()->pixel(x, y);
            ASSERT_EQ(w.a, b.a);
            ASSERT_EQ(b.r, 0);
            sawWhite = sawWhite || (w.a == 255 && w.r == 255);
        }
    EXPECT_TRUE(sawWhite);
}

}  // namespace
