// Drawings of many sprites: pictures that show the same pixels share one
// texture, small pictures share atlas pages, sprites are drawn in a few
// batched draw calls, and textures no longer drawn are released.
#include <gtest/gtest.h>

#include <set>

#include "RenderHarness.h"
#include "platform/render/Renderer.h"

namespace {

using graphics::Rgba;

// What the last frame drew; the renderer is made first if no test has yet.
const render::FrameStats& drawnFrame() {
    static const render::FrameStats none;
    auto& egl = rendertest::eglRenderer();
    if (auto ready = egl.prepare(); !ready) {
        ADD_FAILURE() << ready.error();
        return none;
    }
    return egl.renderer()->lastFrame();
}

// A different colour for each `i`, so that each picture has its own pixels.
Rgba colour(int i) {
    return {static_cast<std::uint8_t>(40 + (i * 37) % 200),
            static_cast<std::uint8_t>(30 + (i * 91) % 220),
            static_cast<std::uint8_t>((i * 53) % 250), 255};
}

// `count` sprites on a grid in front of the camera.
std::vector<std::shared_ptr<scene::Node>> addGrid(
    ui::SceneView& view, int count,
    const std::function<std::shared_ptr<graphics::Image>(int)>& image) {
    std::vector<std::shared_ptr<scene::Node>> nodes;
    for (int i = 0; i < count; ++i) {
        float x = static_cast<float>(i % 20) * 0.06f - 0.6f;
        float y = static_cast<float>(i / 20 % 30) * 0.06f - 0.9f;
        float z = -1.5f - static_cast<float>(i / 600) * 0.1f;
        nodes.push_back(rendertest::addSprite(view, image(i), {x, y, z}));
    }
    return nodes;
}

TEST(TextureSharing, EqualPicturesShareOneTextureAndSmallOnesOnePageAndTwoDrawCalls) {
    // One bitmap for many sprites; separate bitmaps of equal pixels, as
    // each stroke sample draws its own; 75 small pictures.
    auto view = rendertest::makeView({195, 422});
    std::size_t uploadsBefore = drawnFrame().uploads;
    auto shared = rendertest::solidImage(30, 30, colour(1));
    std::vector<std::shared_ptr<graphics::Image>> pictures;
    for (int i = 0; i < 75; ++i) pictures.push_back(rendertest::solidImage(30, 30, colour(i)));
    std::set<int> colours;
    addGrid(*view, 3000, [&](int i) {
        int c = i % 3 == 0 ? 1 : i % 3 == 1 ? 2 : i * 7 % 75;
        colours.insert(c);
        if (i % 3 == 0) return shared;
        if (i % 3 == 1) return rendertest::solidImage(30, 30, colour(2));
        return pictures[static_cast<std::size_t>(c)];
    });
    ASSERT_TRUE(rendertest::render(*view, 1));
    EXPECT_EQ(drawnFrame().planes, 3000u);
    EXPECT_EQ(drawnFrame().pictures, colours.size());
    EXPECT_EQ(drawnFrame().uploads - uploadsBefore, colours.size());
    EXPECT_EQ(drawnFrame().atlasPages, 1u);
    EXPECT_EQ(drawnFrame().ownTextures, 0u);
    // One call for the opaque texels, one for the rest.
    EXPECT_EQ(drawnFrame().sceneDrawCalls, 2u);
}

TEST(TextureSharing, LargePicturesGetATextureOfTheirOwn) {
    auto view = rendertest::makeView();
    rendertest::addPlane(*view, rendertest::solidImage(400, 300, colour(3), 1), 1.0, 0.75,
                         {0, 0, -1.1f}, {}, true, 0.9f);
    rendertest::addSprite(*view, rendertest::solidImage(30, 30, colour(4)), {0, 0, -1});
    ASSERT_TRUE(rendertest::render(*view));
    EXPECT_EQ(drawnFrame().ownTextures, 1u);
    EXPECT_EQ(drawnFrame().atlasPages, 1u);
    // The sprite in both passes, the see-through photo blended only.
    EXPECT_EQ(drawnFrame().sceneDrawCalls, 3u);
}

TEST(TextureMemory, IsReleasedWhenPicturesLeaveTheScene) {
    auto view = rendertest::makeView();
    auto nodes =
        addGrid(*view, 300, [](int i) { return rendertest::solidImage(30, 30, colour(i)); });
    rendertest::addPlane(*view, rendertest::solidImage(400, 300, colour(5), 1), 1.0, 0.75,
                         {0, 0, -1.1f}, {}, true);
    ASSERT_TRUE(rendertest::render(*view));
    EXPECT_EQ(drawnFrame().pictures, 301u);
    EXPECT_GT(drawnFrame().textureBytes, 0u);

    for (const auto& child : std::vector(view->scene()->rootNode()->childNodes()))
        child->removeFromParentNode();
    ASSERT_TRUE(rendertest::render(*view));
    EXPECT_EQ(drawnFrame().pictures, 0u);
    EXPECT_EQ(drawnFrame().atlasPages, 0u);
    EXPECT_EQ(drawnFrame().ownTextures, 0u);
    EXPECT_EQ(drawnFrame().textureBytes, 0u);
}

TEST(TextureMemory, StaysBoundedAcrossManyDrawings) {
    // Draw, clear and draw again with new pictures each time: the atlas
    // reuses what was released instead of growing.
    auto view = rendertest::makeView({195, 422});
    std::size_t mostPages = 0;
    for (int round = 0; round < 8; ++round) {
        auto nodes = addGrid(*view, 400, [round](int i) {
            return rendertest::solidImage(30, 30, colour(round * 400 + i));
        });
        ASSERT_TRUE(rendertest::render(*view, 1));
        mostPages = std::max(mostPages, drawnFrame().atlasPages);
        for (const auto& node : nodes) node->removeFromParentNode();
    }
    // 256 cells of 128 pixels fit on a 2048-pixel page, so a drawing takes
    // two: while one drawing replaces another both are held, and never more.
    EXPECT_EQ(mostPages, 4u);
    ASSERT_TRUE(rendertest::render(*view, 1));
    EXPECT_EQ(drawnFrame().atlasPages, 0u);
}

}  // namespace
