// Sprite images: every emoji of the table comes out as a colour picture of
// 30 × 30 points at the screen's scale on a transparent background, the
// polar bear as one glyph, while the same system font still draws plain
// text.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "controller/ViewController.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "support/Fixtures.h"

namespace {

using graphics::Bitmap;
using graphics::Rgba;
using scrawlet::ViewController;

const std::string polarBear = "\U0001F43B\u200D\u2744\uFE0F";

// A pixel with its colour taken out of premultiplication.
struct Straight {
    int r, g, b, a;
};

Straight straight(Rgba p) {
    if (p.a == 0) return {0, 0, 0, 0};
    return {p.r * 255 / p.a, p.g * 255 / p.a, p.b * 255 / p.a, p.a};
}

// How much of a rendered emoji is ink, and how much of the ink is colour.
// A glyph drawn as plain text is black: once its alpha is taken out, every
// pixel is (0, 0, 0).
struct Ink {
    int inked = 0;
    int saturated = 0;
    int notBlack = 0;
};

Ink measureInk(const Bitmap& bitmap) {
    Ink ink;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            Straight p = straight(bitmap.pixel(x, y));
            if (p.a < 128) continue;
            ++ink.inked;
            int spread = std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b});
            if (spread >= 80) ++ink.saturated;
            if (std::max({p.r, p.g, p.b}) >= 64) ++ink.notBlack;
        }
    return ink;
}

// The runs of columns that hold any ink, left to right: a glyph drawn as
// two pieces side by side shows as two runs with empty columns between.
std::vector<std::pair<int, int>> inkedColumnRuns(const Bitmap& bitmap) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < bitmap.width(); ++x) {
        bool inked = false;
        for (int y = 0; y < bitmap.height() && !inked; ++y) inked = bitmap.pixel(x, y).a >= 32;
        if (!inked) continue;
        if (!runs.empty() && runs.back().second == x - 1)
            runs.back().second = x;
        else
            runs.emplace_back(x, x);
    }
    return runs;
}

// An emoji fills a good part of its square, and a real share of it is
// clearly coloured. A few are white or grey by design (the panda, the polar
// bear, the koala, the snowman, the bone, the football); for them the
// colour glyph shows in its white and grey, which black text lacks.
TEST(SpriteImages, EveryEmojiIsAColourPictureOnATransparentSquareAtTheScreensScale) {
    static const std::set<std::string> paleByDesign = {
        "\U0001F43C", polarBear, "\U0001F428", "\u26C4\uFE0F", "\U0001F9B4", "\u26BD\uFE0F"};
    for (const auto& emoji : scrawlet::emojiTable()) {
        SCOPED_TRACE(emoji);
        auto image = ViewController(ui::Coder{}).renderEmojiImage(emoji, 30.0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
        EXPECT_EQ(image->scale(), 3.0);
        const Bitmap& bitmap = *image->cgImage();
        ASSERT_EQ(bitmap.width(), 90);
        ASSERT_EQ(bitmap.height(), 90);
        for (auto [x, y] : {std::pair{0, 0}, std::pair{89, 0}, std::pair{0, 89}, std::pair{89, 89}})
            EXPECT_EQ(bitmap.pixel(x, y).a, 0) << "corner " << x << ", " << y;
        Ink ink = measureInk(bitmap);
        EXPECT_GE(ink.inked, 90 * 90 / 6) << "too little ink";
        EXPECT_GE(ink.notBlack, ink.inked / 2)
            << "only " << ink.notBlack << " of " << ink.inked << " inked pixels are not black";
        if (!paleByDesign.contains(emoji)) {
            EXPECT_GE(ink.saturated, 150) << "only " << ink.saturated << " of " << ink.inked
                                          << " inked pixels are clearly coloured";
        }
    }
    testsupport::PlatformScope scaleTwo(testsupport::changed([](auto& d) { d.scale = 2; }));
    auto image = ViewController(ui::Coder{}).renderEmojiImage(polarBear, 30);
    EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
    EXPECT_EQ(image->cgImage()->width(), 60);
}

TEST(SpriteImages, ThePolarBearIsOneGlyph) {
    // Drawn as a bear and a snowflake, it would be two pictures side by
    // side, twice as wide as one.
    graphics::Font font = graphics::Font::systemFont(30);
    double bear = graphics::backend().measureText("\U0001F43B", font, 0).width;
    double polar = graphics::backend().measureText(polarBear, font, 0).width;
    EXPECT_NEAR(polar, bear, 0.5);
    auto image = ViewController(ui::Coder{}).renderEmojiImage(polarBear, 30.0);
    auto runs = inkedColumnRuns(*image->cgImage());
    ASSERT_EQ(runs.size(), 1u) << "the ink falls apart into " << runs.size() << " pieces";
    // One glyph about as wide as the square; a snowflake beside a bear
    // would not fit in it.
    EXPECT_GE(runs[0].second - runs[0].first, 60);
}

// The same system font still draws plain text black, letter by letter,
// and characters that have emoji forms but are asked for as text keep the
// text font: a label's "#1" is not a keycap picture.
TEST(SpriteImages, TheSystemFontStillDrawsPlainTextInItsColour) {
    graphics::Font font = graphics::Font::systemFont(30);
    double emojiWidth = graphics::backend().measureText("\U0001F436", font, 0).width;
    for (auto [text, letters] : {std::pair{"Hello", 5}, std::pair{"#1 ©", 3}}) {
        EXPECT_LT(graphics::backend().measureText(text, font, 0).width, letters * emojiWidth);
        graphics::beginImageContextWithOptions({200, 40}, false, 0.0);
        graphics::drawStringInRect(text, {{0, 0}, {200, 40}}, {font, std::nullopt});
        auto image = graphics::getImageFromCurrentImageContext();
        graphics::endImageContext();
        ASSERT_TRUE(image);
        Ink ink = measureInk(*image->cgImage());
        EXPECT_GE(ink.inked, 300) << text;
        EXPECT_EQ(ink.saturated, 0) << text << " is not drawn black";
        EXPECT_GE(inkedColumnRuns(*image->cgImage()).size(), letters - 1u) << text;
    }
}

}  // namespace
