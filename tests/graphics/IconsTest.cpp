// The button icons: "menu", "undo" and "delete" at 1×, 2× and 3×, white on
// transparency, 28 points square, found by name at the screen's scale and
// small enough to sit well inside their 56-point discs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/graphics/Resources.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using graphics::Bitmap;

// The icon resource `name` drawn for `scale`.
std::shared_ptr<graphics::Image> decodeIcon(const std::string& name, int scale) {
    return testsupport::readPicture(
        std::filesystem::path(SCRAWLET_SOURCE_DIR) / "resources" /
        (name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png"));
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

// Every icon at every scale is a white glyph on transparency, 28 points
// square. Centred on a disc of radius 28 points, every inked pixel stays at
// least 12 points clear of the disc's edge: the glyph is compact and
// centred, not merely inside its square (whose corners reach 19.8 points
// out). The menu icon is three bars.
TEST(Icons, AreWhiteGlyphsOnTransparencyWellInsideTheirDiscs) {
    for (const char* name : {"menu", "undo", "delete"})
        for (int scale : {1, 2, 3}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale) + "x");
            auto image = decodeIcon(name, scale);
            ASSERT_TRUE(image);
            const Bitmap& bitmap = *image->cgImage();
            ASSERT_EQ(bitmap.width(), 28 * scale);
            ASSERT_EQ(bitmap.height(), 28 * scale);
            int ink = 0;
            for (int y = 0; y < bitmap.height(); ++y)
                for (int x = 0; x < bitmap.width(); ++x) {
                    graphics::Rgba p = bitmap.pixel(x, y);
                    // White at any coverage: premultiplied, each colour equals alpha.
                    ASSERT_LE(
                        std::max({std::abs(p.r - p.a), std::abs(p.g - p.a), std::abs(p.b - p.a)}),
                        1)
                        << x << ", " << y;
                    if (p.a == 0) continue;
                    ink += p.a >= 128;
                    double centre = bitmap.width() / 2.0;
                    ASSERT_LE(std::hypot(x + 0.5 - centre, y + 0.5 - centre) / scale, 28.0 - 12.0)
                        << x << ", " << y;
                }
            double share = static_cast<double>(ink) / (bitmap.width() * bitmap.height());
            EXPECT_GT(share, 0.08) << "too faint";
            EXPECT_LT(share, 0.5) << "not a glyph but a blot";
            EXPECT_TRUE(std::string(name) != "menu" || inkedRowRuns(bitmap) == 3) << "three bars";
        }
}

TEST(Icons, TheUndoArrowPointsLeft) {
    // The arrowhead is the tallest inked column run near the left edge: the
    // leftmost ink is its tip, halfway up the head, with the head widening
    // to the right of it.
    auto image = decodeIcon("undo", 3);
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
        testsupport::PlatformScope screen(testsupport::changed([&](auto& d) { d.scale = scale; }));
        for (const char* name : {"menu", "undo", "delete"}) {
            auto image = graphics::imageNamed(name);
            ASSERT_TRUE(image) << name;
            EXPECT_EQ(image->scale(), scale);
            EXPECT_EQ(image->size(), (graphics::Size{28, 28})) << name << " at " << scale << "x";
        }
    }
}

}  // namespace
