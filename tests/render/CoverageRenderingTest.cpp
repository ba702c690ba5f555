// Soft edges by sample coverage: drawn into a target with four samples a
// pixel, fully opaque sprites go whole into the opaque pass, their alpha
// turned into coverage, and the picture matches the one blended in order
// but for how finely a pixel's samples can tell an edge's alpha.
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

#include "RenderHarness.h"
#include "platform/render/Gl.h"

namespace {

using namespace rendertest;

constexpr int width = 240, height = 240, samples = 4;

// A multisampled target and one to resolve it into, read back top row
// first.
struct MultisampledTarget {
    render::RenderTarget multisampled = render::makeRenderTarget(width, height, samples);
    render::RenderTarget resolved = render::makeRenderTarget(width, height);

    bool complete() const {
        glBindFramebuffer(GL_FRAMEBUFFER, multisampled.framebuffer.get());
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    std::vector<graphics::Rgba> draw(const ui::SceneView& view) {
        glBindFramebuffer(GL_FRAMEBUFFER, multisampled.framebuffer.get());
        renderer().drawSceneView(view, width, height, samples);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, multisampled.framebuffer.get());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved.framebuffer.get());
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, resolved.framebuffer.get());
        std::vector<graphics::Rgba> pixels(width * height);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::vector<graphics::Rgba> rows(pixels.size());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                rows[static_cast<std::size_t>(y * width + x)] =
                    pixels[static_cast<std::size_t>((height - 1 - y) * width + x)];
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return rows;
    }
};

// A sprite's picture: an opaque red square in the middle of a wide band at
// half alpha, transparent round it.
std::shared_ptr<graphics::Image> haloPicture() {
    constexpr int side = 24;
    auto bitmap = std::make_shared<graphics::Bitmap>(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int ring = std::max(std::abs(2 * x + 1 - side), std::abs(2 * y + 1 - side)) / 2;
            if (ring < 5)
                bitmap->setPixel(x, y, {255, 0, 0, 255});
            else if (ring < 11)
                bitmap->setPixel(x, y, {128, 0, 0, 128});
        }
    return std::make_shared<graphics::Image>(bitmap, 1.0);
}

// The mean of the pixels from (x0, y0) up to (x1, y1), a channel at a time.
std::array<double, 4> meanOver(const std::vector<graphics::Rgba>& pixels, int x0, int y0, int x1,
                               int y1) {
    std::array<double, 4> sum{};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const graphics::Rgba p = pixels[static_cast<std::size_t>(y * width + x)];
            sum[0] += p.r, sum[1] += p.g, sum[2] += p.b, sum[3] += p.a;
        }
    for (double& s : sum) s /= static_cast<double>((x1 - x0) * (y1 - y0));
    return sum;
}

TEST(CoverageRendering, SoftEdgesByCoverageMatchThemBlendedAndLeaveEveryPixelOpaque) {
    ASSERT_TRUE(eglRenderer().prepare());
    MultisampledTarget target;
    if (!target.complete()) GTEST_SKIP() << "this GL cannot draw into four samples a pixel";
    const ui::RenderOptions before = renderer().options();

    // A blue wall behind, the halo sprite filling the middle of the view,
    // and a faded green sprite over its top left.
    auto view = makeView({80, 80});
    addPlane(*view, solidImage(10, 10, {0, 0, 255, 255}), 4, 4, {0, 0, -3});
    addSprite(*view, haloPicture(), {0, 0, -0.1f});
    addPlane(*view, solidImage(10, 10, {0, 255, 0, 255}), 0.02, 0.02, {-0.03f, 0.03f, -0.09f}, {},
             false, 0.5f);

    ui::RenderOptions blendedOptions = ui::RenderOptions::page();
    blendedOptions.alphaToCoverage = false;
    renderer().setOptions(blendedOptions);
    const std::vector<graphics::Rgba> blended = target.draw(*view);
    const std::size_t blendedDrawn = renderer().lastFrame().scenePlanesDrawn;
    renderer().setOptions(ui::RenderOptions::page());
    const std::vector<graphics::Rgba> covered = target.draw(*view);
    const render::FrameStats stats = renderer().lastFrame();
    renderer().setOptions(before);

    EXPECT_EQ(stats.planes, 3u);
    EXPECT_EQ(stats.scenePlanesDrawn, blendedDrawn);
    // Every sample a sprite covers is opaque, as the wall behind it is.
    int seeThrough = 0;
    for (const graphics::Rgba& p : covered) seeThrough += p.a == 255 ? 0 : 1;
    EXPECT_EQ(seeThrough, 0);
    // The opaque middle, the half-alpha band and the faded sprite show as
    // blended, a patch at a time. The halo's middle reaches 0.42 of its
    // half width from its centre, the band from there to 0.92.
    struct Area {
        const char* name;
        scene::Vector3 centre;
        float reach;
    };
    const Area areas[] = {
        {"the opaque middle", {0, 0, -0.1f}, 0.005f},
        {"the band on the right", {0.034f, 0, -0.1f}, 0.005f},
        {"the band below", {0, -0.034f, -0.1f}, 0.005f},
        {"the faded sprite over the band", {-0.03f, 0.03f, -0.09f}, 0.004f},
    };
    auto mean = [&](const std::vector<graphics::Rgba>& pixels, const Area& area) {
        const scene::Vector3 low =
            view->projectPoint(area.centre - scene::Vector3{area.reach, area.reach, 0});
        const scene::Vector3 high =
            view->projectPoint(area.centre + scene::Vector3{area.reach, area.reach, 0});
        return meanOver(pixels, static_cast<int>(std::min(low.x, high.x) * 3),
                        static_cast<int>(std::min(low.y, high.y) * 3),
                        static_cast<int>(std::max(low.x, high.x) * 3),
                        static_cast<int>(std::max(low.y, high.y) * 3));
    };
    // The opaque middle as blended.
    const auto middle = mean(covered, areas[0]), middleBlended = mean(blended, areas[0]);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(middle[k], middleBlended[k], 4.0) << k;
    // The band: the sprite's own red in the samples it covers, the wall's
    // blue in the rest, as many as the half alpha comes to, give or take
    // one of the four.
    for (const Area& area : {areas[1], areas[2]}) {
        SCOPED_TRACE(area.name);
        const auto a = mean(covered, area), b = mean(blended, area);
        EXPECT_NEAR(a[0] + a[2], 255, 6);
        EXPECT_NEAR(a[0], b[0], 255.0 / samples + 2);
        EXPECT_NEAR(a[1], 0, 2);
    }
    // The faded sprite, blended after, over that.
    const auto a = mean(covered, areas[3]), b = mean(blended, areas[3]);
    EXPECT_NEAR(a[1], b[1], 4);
    EXPECT_NEAR(a[0] + a[2], 127, 6);
}

}  // namespace
