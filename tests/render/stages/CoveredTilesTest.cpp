// Occlusion culling over the screen's tiles: which tiles an occluder
// covers, how the tiles where a sprite may show are split into rectangles,
// and which parts of which sprites a scene leaves to draw.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/render/CoveredTiles.h"
#include "stages/StagePictures.h"
#include "stages/StageScene.h"

namespace {

using render::CoveredTiles;
using render::TileBox;

TEST(CoveredTiles, WhatIsNotCoveredIsSplitIntoOneOrTwoRectangles) {
    struct Case {
        const char* name;
        // Covered at depth 1: the tiles from (x0, y0) to (x1, y1), inclusive.
        std::vector<TileBox> covered;
        float depth;
        TileBox first, second;
    };
    const Case cases[] = {
        {"nothing covered", {}, 2, {0, 0, 7, 7}, {}},
        {"all covered", {{0, 0, 7, 7}}, 2, {}, {}},
        {"cover as far as the plane itself hides nothing", {{0, 0, 7, 7}}, 1, {0, 0, 7, 7}, {}},
        {"the left half covered", {{0, 0, 3, 7}}, 2, {4, 0, 7, 7}, {}},
        {"the middle rows covered", {{0, 2, 7, 5}}, 2, {0, 0, 7, 1}, {0, 6, 7, 7}},
        {"one row covered: two rectangles would not leave out a fifth more",
         {{0, 3, 7, 3}},
         2,
         {0, 0, 7, 7},
         {}},
        {"an L left open", {{0, 0, 5, 3}}, 2, {6, 0, 7, 3}, {0, 4, 7, 7}},
        {"a hole in the middle", {{2, 2, 5, 5}}, 2, {0, 0, 7, 7}, {}},
    };
    CoveredTiles tiles;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tiles.reset(128, 128);
        ASSERT_EQ(tiles.columns(), 8);
        ASSERT_EQ(tiles.rows(), 8);
        for (const TileBox& box : c.covered)
            for (int y = box.y0; y <= box.y1; ++y)
                for (int x = box.x0; x <= box.x1; ++x) tiles.cover(x, y, 1);
        TileBox pieces[2];
        tiles.split(0, 0, 7, 7, c.depth, pieces);
        EXPECT_EQ(pieces[0], c.first);
        EXPECT_EQ(pieces[1], c.second);
    }
    // Only the tiles asked about are looked at.
    tiles.reset(128, 128);
    tiles.cover(0, 0, 1);
    TileBox pieces[2];
    tiles.split(1, 1, 3, 2, 2, pieces);
    EXPECT_EQ(pieces[0], (TileBox{1, 1, 3, 2}));
}

TEST(CoveredTiles, ARectangleCoversTheTilesWhollyInsideIt) {
    struct Case {
        const char* name;
        render::Extent rectangle;
        TileBox covered;
    };
    // 100 by 60 pixels: 7 columns (the last 4 pixels wide) and 4 rows.
    const Case cases[] = {
        {"inside the screen", {10, 5, 70, 50}, {1, 1, 3, 2}},
        {"to the screen's edges", {80, 0, 100, 60}, {5, 0, 6, 3}},
        {"past them", {-50, -50, 200, 200}, {0, 0, 6, 3}},
        {"smaller than a tile", {17, 17, 31, 31}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CoveredTiles tiles;
        tiles.reset(100, 60);
        EXPECT_EQ(tiles.occludeRectangle(c.rectangle, 3), !c.covered.empty());
        for (int y = 0; y < tiles.rows(); ++y)
            for (int x = 0; x < tiles.columns(); ++x) {
                const bool inside = x >= c.covered.x0 && x <= c.covered.x1 && y >= c.covered.y0 &&
                                    y <= c.covered.y1;
                EXPECT_EQ(tiles.coverAt(x, y), inside ? 3 : INFINITY) << x << ", " << y;
            }
    }
}

TEST(CoveredTiles, ARingCoversItsBandAndNotItsHole) {
    // A ring of 64 texels over 128 by 128 pixels, opaque between radii 8
    // and 31 texels: the tiles over the hole and the corners stay open.
    const render::PictureCoverage ring = render::PictureCoverage::of(*stagetest::ring(64, 8, 31));
    CoveredTiles tiles;
    tiles.reset(128, 128);
    tiles.cover(6, 4, 0.5f);
    EXPECT_TRUE(tiles.occludeBySummedArea({0, 0, 128, 128}, ring, 2));
    struct Case {
        int x, y;
        float cover;
    };
    const Case cases[] = {{3, 3, INFINITY}, {4, 4, INFINITY}, {3, 4, INFINITY}, {0, 0, INFINITY},
                          {7, 7, INFINITY}, {1, 3, 2},        {4, 1, 2},        {6, 4, 0.5f}};
    for (const Case& c : cases) EXPECT_EQ(tiles.coverAt(c.x, c.y), c.cover) << c.x << ", " << c.y;
    // Drawn small, filtering reads a smaller level of detail and reaches
    // across the hole's edge into more of the band.
    tiles.reset(128, 128);
    tiles.occludeBySummedArea({0, 0, 32, 32}, ring, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(tiles.coverAt(x, y), INFINITY);
}

TEST(CoveredTiles, APartIsItsTilesInTheQuadRoundedOutwards) {
    CoveredTiles tiles;
    tiles.reset(128, 128);
    const render::Extent quad{0, 0, 128, 128};
    EXPECT_EQ(tiles.partOf({0, 0, 7, 7}, quad), render::wholePart);
    EXPECT_EQ(tiles.partOf({}, quad), 0u);
    // The upper half of the screen is the top of the quad: t from 0 to 1/2.
    EXPECT_EQ(tiles.partOf({0, 4, 7, 7}, quad), 0xFFFFull << 32 | 32768ull << 48);
    // A quad larger than the tiles: the part lies inside it.
    const render::Part inner = tiles.partOf({2, 2, 3, 3}, {-10, -10, 138, 138});
    EXPECT_EQ(inner & 0xFFFF, static_cast<render::Part>(std::floor(42.0 / 148 * 65535)));
    EXPECT_EQ(inner >> 32 & 0xFFFF, static_cast<render::Part>(std::ceil(74.0 / 148 * 65535)));
}

TEST(CoveredTiles, ASpriteBehindANearerOpaqueOneIsLeftOut) {
    // A large opaque square near the camera, a small sprite straight
    // behind it, one beside it, and a see-through one behind it.
    stagetest::StageScene stage;
    auto opaque = stagetest::pictureOf(64, 64, [](int, int) { return 255; });
    auto soft = stagetest::pictureOf(64, 64, [](int, int) { return 128; });
    stage.add(opaque, {0, 0, -1}, 0.4, 0.4);
    stage.add(opaque, {0, 0, -2});
    stage.add(opaque, {0.47f, 0, -2});
    stage.add(soft, {0, 0.05f, -3});
    // Behind the occluder by less than the depth buffer can tell apart.
    stage.add(opaque, {0.05f, 0, -1.0001f});
    stage.refresh();
    const render::ScreenView view = stagetest::screenView(scene::Matrix4::identity());
    render::ScreenGrid grid;
    grid.update(stage.cache, stage.facts, view);
    ASSERT_TRUE(CoveredTiles::mayCover(390, 844, stage.facts, stage.coverage, view, 0.8f));
    const render::CullingInput input{
        &stage.cache, &stage.facts, &stage.coverage, &grid.extents(), &view, 0.5f, 4};
    CoveredTiles tiles;
    ASSERT_TRUE(tiles.update(390, 844, input));
    const auto& parts = tiles.parts();
    ASSERT_EQ(parts.size(), 10u);
    // The occluder itself and the sprite beside it are drawn whole; the two
    // behind it not at all.
    EXPECT_EQ(parts[0], render::wholePart);
    EXPECT_EQ(parts[1], 0u);
    EXPECT_EQ(parts[2], 0u);
    EXPECT_EQ(parts[3], 0u);
    EXPECT_EQ(parts[4], render::wholePart);
    EXPECT_EQ(parts[5], 0u);
    EXPECT_EQ(parts[6], 0u);
    EXPECT_EQ(parts[7], 0u);
    EXPECT_EQ(parts[8], render::wholePart);
    EXPECT_EQ(parts[9], 0u);
    EXPECT_EQ(tiles.trimmed(), 2u);
    // Far away, no sprite covers a tile: nothing is looked at.
    EXPECT_FALSE(CoveredTiles::mayCover(390, 844, stage.facts, stage.coverage, view, 200));
}

}  // namespace
