// Sprite images: every emoji of the table comes out as a colour picture of
// 30 × 30 points at the screen's scale on a transparent background, the
// polar bear as one glyph, while the same system font still draws plain
// text.
//
// Setting SCRAWLET_EMOJI_SHEET to a file name also writes a PNG sheet of a
// dozen rendered emoji there, to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "controller/ViewController.h"
#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "support/Fixtures.h"

namespace {

using graphics::Bitmap;
using graphics::Rgba;
using scrawlet::ViewController;

const std::string polarBear = "\U0001F43B\u200D\u2744\uFE0F";

class SpriteImages : public testing::Test {};

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

class EveryEmoji : public SpriteImages, public testing::WithParamInterface<std::size_t> {};

TEST_P(EveryEmoji, IsAColourPictureOnATransparentSquare) {
    const std::string& emoji = scrawlet::emojiTable().at(GetParam());
    auto image = ViewController::renderEmojiImage(emoji, 30.0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
    EXPECT_EQ(image->scale(), 3.0);
    const Bitmap& bitmap = *image->cgImage();
    ASSERT_EQ(bitmap.width(), 90);
    ASSERT_EQ(bitmap.height(), 90);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{89, 0}, std::pair{0, 89}, std::pair{89, 89}})
        EXPECT_EQ(bitmap.pixel(x, y).a, 0) << "corner " << x << ", " << y;
    Ink ink = measureInk(bitmap);
    // An emoji fills a good part of its square, and a real share of it is
    // clearly coloured. A few are white or grey by design (the panda, the
    // polar bear, the koala, the snowman, the bone, the football); for them
    // the colour glyph shows in its white and grey, which black text lacks.
    EXPECT_GE(ink.inked, 90 * 90 / 6) << "too little ink";
    EXPECT_GE(ink.notBlack, ink.inked / 2)
        << "only " << ink.notBlack << " of " << ink.inked << " inked pixels are not black";
    static const std::set<std::string> paleByDesign = {"\U0001F43C", "\U0001F43B\u200D\u2744\uFE0F",
                                                       "\U0001F428", "\u26C4\uFE0F",
                                                       "\U0001F9B4", "\u26BD\uFE0F"};
    if (!paleByDesign.contains(emoji)) {
        EXPECT_GE(ink.saturated, 150) << "only " << ink.saturated << " of " << ink.inked
                                      << " inked pixels are clearly coloured";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EveryEmoji, testing::Range<std::size_t>(0, 75),
                         [](const auto& info) {
                             std::string name = "emoji" + std::to_string(info.param);
                             for (unsigned char c : scrawlet::emojiTable().at(info.param)) {
                                 static const char hex[] = "0123456789abcdef";
                                 name += '_';
                                 name += hex[c >> 4];
                                 name += hex[c & 15];
                             }
                             return name;
                         });

TEST(EmojiTable, HasSeventyFiveEntries) { EXPECT_EQ(scrawlet::emojiTable().size(), 75u); }

TEST_F(SpriteImages, ThePolarBearIsOneGlyph) {
    // Drawn as a bear and a snowflake, it would be two pictures side by
    // side, twice as wide as one.
    graphics::Font font = graphics::Font::systemFont(30);
    double bear = graphics::backend().measureText("\U0001F43B", font, 0).width;
    double polar = graphics::backend().measureText(polarBear, font, 0).width;
    EXPECT_NEAR(polar, bear, 0.5);
    auto image = ViewController::renderEmojiImage(polarBear, 30.0);
    auto runs = inkedColumnRuns(*image->cgImage());
    ASSERT_EQ(runs.size(), 1u) << "the ink falls apart into " << runs.size() << " pieces";
    // One glyph about as wide as the square; a snowflake beside a bear
    // would not fit in it.
    EXPECT_GE(runs[0].second - runs[0].first, 60);
}

TEST_F(SpriteImages, TheSystemFontStillDrawsPlainTextInItsColour) {
    graphics::beginImageContextWithOptions({200, 40}, false, 0.0);
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(30);
    graphics::drawStringInRect("Hello", {{0, 0}, {200, 40}}, attributes);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    ASSERT_TRUE(image);
    Ink ink = measureInk(*image->cgImage());
    EXPECT_GE(ink.inked, 500);
    EXPECT_EQ(ink.saturated, 0) << "plain text is drawn black";
    // Five letters side by side, not emoji-sized pictures.
    EXPECT_GE(inkedColumnRuns(*image->cgImage()).size(), 4u);
}

TEST_F(SpriteImages, DigitsAndPunctuationStayText) {
    // Characters that have emoji forms, but are asked for as text, keep the
    // text font: a label's "#1" is not a keycap picture.
    graphics::Font font = graphics::Font::systemFont(30);
    double digits = graphics::backend().measureText("#1 ©", font, 0).width;
    double emoji = graphics::backend().measureText("\U0001F436", font, 0).width;
    EXPECT_LT(digits, 3 * emoji);
    graphics::beginImageContextWithOptions({200, 40}, false, 0.0);
    graphics::TextAttributes attributes;
    attributes.font = font;
    graphics::drawStringInRect("#1 ©", {{0, 0}, {200, 40}}, attributes);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    EXPECT_EQ(measureInk(*image->cgImage()).saturated, 0);
}

TEST_F(SpriteImages, EachCallGivesANewImage) {
    auto first = ViewController::renderEmojiImage("\U0001F436", 30.0);
    auto second = ViewController::renderEmojiImage("\U0001F436", 30.0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->cgImage()->samePixels(*second->cgImage()));
}

// Writes a sheet of a dozen sprites, four by three, on a mid-grey ground so
// that white ink shows, when SCRAWLET_EMOJI_SHEET names a file.
TEST_F(SpriteImages, SheetForLookingAt) {
    const char* path = std::getenv("SCRAWLET_EMOJI_SHEET");
    if (!path) GTEST_SKIP() << "SCRAWLET_EMOJI_SHEET is not set";
    const auto& table = scrawlet::emojiTable();
    std::vector<std::string> chosen = {table[0],  table[8],  table[18], table[30],
                                       table[33], table[34], table[36], table[42],
                                       table[62], table[66], table[68], table[71]};
    constexpr int cell = 100, columns = 4, rows = 3;
    Bitmap sheet(cell * columns, cell * rows);
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x) sheet.setPixel(x, y, {96, 96, 96, 255});
    for (std::size_t n = 0; n < chosen.size(); ++n) {
        auto image = ViewController::renderEmojiImage(chosen[n], 30.0);
        ASSERT_TRUE(image);
        const Bitmap& sprite = *image->cgImage();
        int ox = static_cast<int>(n % columns) * cell + 5,
            oy = static_cast<int>(n / columns) * cell + 5;
        for (int y = 0; y < sprite.height(); ++y)
            for (int x = 0; x < sprite.width(); ++x) {
                Rgba s = sprite.pixel(x, y), d = sheet.pixel(ox + x, oy + y);
                auto over = [&](int sc, int dc) {
                    return static_cast<std::uint8_t>(sc + dc * (255 - s.a) / 255);
                };
                sheet.setPixel(ox + x, oy + y,
                               {over(s.r, d.r), over(s.g, d.g), over(s.b, d.b), 255});
            }
    }
    auto png = graphics::backend().encodePng(sheet);
    ASSERT_TRUE(png.ok());
    ASSERT_TRUE(platform::writeFileAtomically(path, png.value()).ok());
}

}  // namespace
