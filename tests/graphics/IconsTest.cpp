// The button icons: "menu", "undo" and "delete" at 1×, 2× and 3×, white on
// transparency, 28 points square, found by name at the screen's scale and
// small enough to sit well inside their 56-point discs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/Resources.h"
#include "support/Fixtures.h"

namespace {

using graphics::Bitmap;

struct IconCase {
    const char* name;
    int scale;
};

std::string fileName(const IconCase& icon) {
    return std::string(icon.name) +
           (icon.scale == 1 ? "" : "@" + std::to_string(icon.scale) + "x") + ".png";
}

std::shared_ptr<graphics::Image> decodeIcon(const IconCase& icon) {
    auto bytes = platform::readFile(
        std::filesystem::path(SCRAWLET_SOURCE_DIR) / "resources" / fileName(icon), 1 << 20);
    EXPECT_TRUE(bytes.ok()) << fileName(icon);
    if (!bytes.ok()) return nullptr;
    auto image = graphics::backend().decodeImage(bytes.value(), {});
    EXPECT_TRUE(image.ok()) << fileName(icon);
    return image.ok() ? image.value() : nullptr;
}

// Rows of the bitmap that hold ink, as runs from top to bottom.
int inkedRowRuns(const Bitmap& bitmap) {
    int runs = 0;
    bool previous = false;
    for (int y = 0; y < bitmap.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < bitmap.width() && !inked; ++x) inked = bitmap.pixel(x, y).a >= 128;
        if (inked && !previous) ++runs;
        previous = inked;
    }
    return runs;
}

class EveryIcon : public testing::TestWithParam<IconCase> {};

TEST_P(EveryIcon, IsAWhiteGlyphOnTransparency28PointsSquare) {
    IconCase icon = GetParam();
    auto image = decodeIcon(icon);
    ASSERT_TRUE(image);
    const Bitmap& bitmap = *image->cgImage();
    ASSERT_EQ(bitmap.width(), 28 * icon.scale);
    ASSERT_EQ(bitmap.height(), 28 * icon.scale);
    int ink = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            graphics::Rgba p = bitmap.pixel(x, y);
            // White at any coverage: premultiplied, each colour equals alpha.
            ASSERT_LE(std::abs(p.r - p.a), 1) << x << ", " << y;
            ASSERT_LE(std::abs(p.g - p.a), 1) << x << ", " << y;
            ASSERT_LE(std::abs(p.b - p.a), 1) << x << ", " << y;
            if (p.a >= 128) ++ink;
        }
    double share = static_cast<double>(ink) / (bitmap.width() * bitmap.height());
    EXPECT_GT(share, 0.08) << "too faint";
    EXPECT_LT(share, 0.5) << "not a glyph but a blot";
}

TEST_P(EveryIcon, KeepsItsInkWellInsideTheDisc) {
    // Centred on a disc of radius 28 points, every inked pixel stays at
    // least 12 points clear of the disc's edge: the glyph is compact and
    // centred, not merely inside its 28-point square (whose corners reach
    // 19.8 points out).
    IconCase icon = GetParam();
    auto image = decodeIcon(icon);
    ASSERT_TRUE(image);
    const Bitmap& bitmap = *image->cgImage();
    double centre = bitmap.width() / 2.0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            if (bitmap.pixel(x, y).a == 0) continue;
            double distance = std::hypot(x + 0.5 - centre, y + 0.5 - centre) / icon.scale;
            ASSERT_LE(distance, 28.0 - 12.0) << x << ", " << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Resources, EveryIcon,
    testing::Values(IconCase{"menu", 1}, IconCase{"menu", 2}, IconCase{"menu", 3},
                    IconCase{"undo", 1}, IconCase{"undo", 2}, IconCase{"undo", 3},
                    IconCase{"delete", 1}, IconCase{"delete", 2}, IconCase{"delete", 3}),
    [](const auto& info) {
        return std::string(info.param.name) + std::to_string(info.param.scale) + "x";
    });

TEST(Icons, TheMenuIconIsThreeBars) {
    for (int scale : {1, 2, 3}) {
        auto image = decodeIcon({"menu", scale});
        ASSERT_TRUE(image);
        EXPECT_EQ(inkedRowRuns(*image->cgImage()), 3) << "at " << scale << "x";
    }
}

TEST(Icons, TheUndoArrowPointsLeft) {
    // The arrowhead is the tallest inked column run near the left edge: the
    // leftmost ink is its tip, halfway up the head, with the head widening
    // to the right of it.
    auto image = decodeIcon({"undo", 3});
    ASSERT_TRUE(image);
    const Bitmap& bitmap = *image->cgImage();
    auto inkInColumn = [&](int x) {
        int n = 0;
        for (int y = 0; y < bitmap.height(); ++y) n += bitmap.pixel(x, y).a >= 128;
        return n;
    };
    int left = 0;
    while (left < bitmap.width() && inkInColumn(left) == 0) ++left;
    ASSERT_LT(left, bitmap.width() / 3);
    EXPECT_LT(inkInColumn(left), inkInColumn(left + 10));
}

TEST(Icons, AreFoundByNameAtTheScreensScale) {
    for (int scale : {2, 3, 1}) {
        ui::LaunchScope screen(testsupport::changed([&](auto& d) { d.scale = scale; }));
        for (const char* name : {"menu", "undo", "delete"}) {
            auto image = graphics::imageNamed(name);
            ASSERT_TRUE(image) << name;
            EXPECT_EQ(image->scale(), scale);
            EXPECT_EQ(image->size(), (graphics::Size{28, 28})) << name << " at " << scale << "x";
        }
    }
}

}  // namespace
