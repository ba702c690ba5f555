// What a picture covers, worked out from its texels: pictures whose
// visible part, opaque rectangle, transparent corners and see-through
// texels are known by construction.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/render/PictureCoverage.h"
#include "stages/StagePictures.h"

namespace {

using render::PictureCoverage;

struct Bounds {
    float x0, y0, x1, y1;
};

void expectBounds(const float (&actual)[4], Bounds expected) {
    EXPECT_FLOAT_EQ(actual[0], expected.x0);
    EXPECT_FLOAT_EQ(actual[1], expected.y0);
    EXPECT_FLOAT_EQ(actual[2], expected.x1);
    EXPECT_FLOAT_EQ(actual[3], expected.y1);
}

TEST(PictureCoverage, VisiblePartAndOpaqueRectangle) {
    struct Case {
        const char* name;
        std::shared_ptr<graphics::Bitmap> picture;
        Bounds visible, opaque;
    };
    const Case cases[] = {
        {"opaque all over",
         stagetest::pictureOf(8, 4, [](int, int) { return 255; }),
         {0, 0, 1, 1},
         {0, 0, 1, 1}},
        {"transparent all over (one texel kept)",
         stagetest::pictureOf(8, 4, [](int, int) { return 0; }),
         {0, 0, 0.125f, 0.25f},
         {0, 0, 0, 0}},
        {"an opaque block in a transparent margin",
         stagetest::pictureOf(
             10, 10, [](int x, int y) { return x >= 2 && x < 6 && y >= 3 && y < 9 ? 255 : 0; }),
         {0.2f, 0.3f, 0.6f, 0.9f},
         {0.2f, 0.3f, 0.6f, 0.9f}},
        {"a soft edge shows but does not occlude",
         stagetest::pictureOf(10, 10, [](int x, int) { return x < 5   ? 255
                                                              : x < 8 ? 128
                                                                      : 0; }),
         {0, 0, 0.8f, 1},
         {0, 0, 0.5f, 1}},
        // A ring 16 texels wide, opaque between radii 4 and 8: the largest
        // opaque rectangle is a band along one side of the hole.
        {"a ring", stagetest::ring(16, 4, 8), {0, 0, 1, 1}, {0.1875f, 0.0625f, 0.8125f, 0.25f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PictureCoverage coverage = PictureCoverage::of(*c.picture);
        EXPECT_EQ(coverage.width, c.picture->width());
        EXPECT_EQ(coverage.height, c.picture->height());
        expectBounds(coverage.visible, c.visible);
        expectBounds(coverage.opaque, c.opaque);
    }
}

TEST(PictureCoverage, TransparentCornersAreCutAt45Degrees) {
    // A disc of radius 8 in 16 texels: each corner is transparent along a
    // diagonal as far as the circle; a square has nothing to cut, and a
    // picture that is not square is never cut.
    const PictureCoverage disc = PictureCoverage::of(*stagetest::disc(16, 8));
    for (float cut : disc.corners) {
        EXPECT_GT(cut, 0.1f);
        EXPECT_LT(cut, 0.3f);
    }
    EXPECT_FLOAT_EQ(disc.corners[0], disc.corners[2]);
    EXPECT_FLOAT_EQ(disc.corners[1], disc.corners[3]);
    const PictureCoverage square =
        PictureCoverage::of(*stagetest::pictureOf(16, 16, [](int, int) { return 255; }));
    for (float cut : square.corners) EXPECT_EQ(cut, 0);
    const PictureCoverage wide = PictureCoverage::of(
        *stagetest::pictureOf(16, 8, [](int x, int y) { return x + y > 3 ? 255 : 0; }));
    for (float cut : wide.corners) EXPECT_EQ(cut, 0);
    // Only the top-left corner transparent, three texels along each edge.
    const PictureCoverage notched = PictureCoverage::of(
        *stagetest::pictureOf(16, 16, [](int x, int y) { return x + y >= 3 ? 255 : 0; }));
    EXPECT_FLOAT_EQ(notched.corners[0], 3.0f / 16);
    EXPECT_EQ(notched.corners[1], 0);
    EXPECT_EQ(notched.corners[2], 0);
    EXPECT_EQ(notched.corners[3], 0);
}

TEST(PictureCoverage, TheSummedAreaTableCountsSeeThroughTexels) {
    // A ring with a hole: rectangles inside the band have none, rectangles
    // over the hole or the corners some, each counted as a texel-by-texel
    // count would.
    auto picture = stagetest::pictureOf(32, 32, [](int x, int y) {
        const double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
        return r >= 6 && r <= 15 ? 255 : r > 15 && r <= 17 ? 128 : 0;
    });
    const PictureCoverage coverage = PictureCoverage::of(*picture);
    ASSERT_TRUE(coverage.hasSummedArea());
    auto counted = [&](int x0, int y0, int x1, int y1) {
        std::uint32_t n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += picture->pixel(x, y).a != 255 ? 1 : 0;
        return n;
    };
    struct Case {
        const char* name;
        int x0, y0, x1, y1;
        bool seeThrough;
    };
    const Case cases[] = {{"the hole", 13, 13, 19, 19, true},
                          {"the soft rim", 0, 14, 2, 18, true},
                          {"in the band, left of the hole", 3, 12, 8, 20, false},
                          {"in the band, above the hole", 12, 3, 20, 8, false},
                          {"a corner", 0, 0, 4, 4, true},
                          {"the whole picture", 0, 0, 32, 32, true},
                          {"one texel of the band", 5, 16, 6, 17, false},
                          {"nothing", 7, 7, 7, 7, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(coverage.seeThrough(c.x0, c.y0, c.x1, c.y1), counted(c.x0, c.y0, c.x1, c.y1));
        EXPECT_EQ(coverage.seeThrough(c.x0, c.y0, c.x1, c.y1) != 0, c.seeThrough);
    }
    // Large pictures occlude only behind their opaque rectangle.
    const int side = PictureCoverage::maxSummedAreaSide + 1;
    EXPECT_FALSE(PictureCoverage::of(*stagetest::pictureOf(side, 4, [](int, int) {
                     return 255;
                 })).hasSummedArea());
    EXPECT_TRUE(PictureCoverage::of(*stagetest::pictureOf(side - 1, 4, [](int, int) {
                    return 255;
                })).hasSummedArea());
}

TEST(PictureCoverage, FilteringReachesFartherFromSmallerLevelsOfDetail) {
    struct Case {
        float texels, pixels, reach;
    };
    const Case cases[] = {{64, 128, 1}, {64, 64, 1},  {64, 32, 4},      {64, 20, 8},
                          {64, 16, 8},  {64, 15, 16}, {64, 0, 1u << 27}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.texels << " texels over " << c.pixels << " pixels");
        EXPECT_FLOAT_EQ(render::filterReach(c.texels, c.pixels), c.reach);
    }
}

}  // namespace
