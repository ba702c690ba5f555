// Large pictures uploaded a band of rows a frame, as the page does: the
// texture ends up as one uploaded whole would be, level by level; a plane
// leaves nothing on the screen until its picture is whole; a picture let go
// of mid-upload leaves no texture, memory or reference behind; and a
// picture of the screen finishes what is under way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "RenderHarness.h"
#include "platform/render/Gl.h"
#include "platform/render/Renderer.h"
#include "platform/render/TextureCache.h"

namespace {

// The shared EGL context made current, or the reason it could not be.
::testing::AssertionResult contextReady() {
    if (auto ready = rendertest::eglRenderer().prepare(); !ready)
        return ::testing::AssertionFailure() << ready.error();
    return ::testing::AssertionSuccess();
}

// An opaque picture of `width` by `height` whose every pixel differs from
// its neighbours, so that a band in the wrong place shows.
std::shared_ptr<const graphics::Bitmap> pattern(int width, int height) {
    graphics::BitmapFormat format;
    format.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->setPixel(
                x, y,
                {static_cast<std::uint8_t>(x * 7 + y * 3), static_cast<std::uint8_t>(x ^ y),
                 static_cast<std::uint8_t>(y * 5), 255});
    return bitmap;
}

// The pixels of `level` of `texture`, `width` by `height` at level 0, read
// back through a framebuffer.
std::vector<std::uint8_t> levelPixels(GLuint texture, int level, int width, int height) {
    const int w = std::max(1, width >> level), h = std::max(1, height >> level);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
    std::vector<std::uint8_t> pixels;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    return pixels;
}

// One frame of `cache` asking for `bitmap`: where it is drawn from.
render::TextureSlot frameAsking(render::TextureCache& cache,
                                const std::shared_ptr<const graphics::Bitmap>& bitmap) {
    cache.beginFrame();
    render::TextureSlot slot = cache.slotFor(bitmap);
    cache.endFrame();
    return slot;
}

TEST(BandedUpload, APictureUploadedInBandsEndsAsTheSameTextureAsOneUploadedWhole) {
    ASSERT_TRUE(contextReady());
    // Wider than the atlas takes, an odd height, and bands of 40 rows.
    const int width = 600, height = 397;
    auto bitmap = pattern(width, height);
    render::TextureCache whole, banded;
    banded.setBandBudget(static_cast<std::size_t>(width) * 4 * 40);

    const render::TextureSlot wholeSlot = frameAsking(whole, bitmap);
    EXPECT_EQ(whole.stats().uploads, 1u);
    EXPECT_EQ(whole.stats().uploading, 0u);

    int frames = 0;
    render::TextureSlot slot;
    for (; frames < 100; ++frames) {
        slot = frameAsking(banded, bitmap);
        if (!banded.uploading(slot)) break;
        // Meanwhile the picture is drawn from a transparent texture.
        EXPECT_EQ(levelPixels(slot.texture, 0, 1, 1), (std::vector<std::uint8_t>{0, 0, 0, 0}));
        EXPECT_EQ(banded.stats().uploading, 1u);
        EXPECT_EQ(banded.stats().uploads, 0u);
    }
    // A frame for the storage, ten bands of 40 rows, then a frame for the
    // levels of detail.
    EXPECT_EQ(frames, 11);
    EXPECT_EQ(banded.stats().uploading, 0u);
    EXPECT_EQ(banded.stats().uploads, 1u);
    EXPECT_EQ(banded.stats().bytes, whole.stats().bytes);
    EXPECT_NE(slot.texture, wholeSlot.texture);

    int levels = 0;
    for (int side = std::max(width, height); side >= 1; side /= 2, ++levels) {
        SCOPED_TRACE("level " + std::to_string(levels));
        auto expected = levelPixels(wholeSlot.texture, levels, width, height);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(levelPixels(slot.texture, levels, width, height) == expected);
    }
    EXPECT_EQ(levels, 10);
    // Level 0 holds the picture's own pixels, band by band.
    auto top = levelPixels(slot.texture, 0, width, height);
    ASSERT_EQ(top.size(), bitmap->byteCount());
    EXPECT_TRUE(std::equal(top.begin(), top.end(), bitmap->data()));
}

TEST(BandedUpload, APictureReleasedMidUploadLeavesNothingBehind) {
    ASSERT_TRUE(contextReady());
    auto bitmap = pattern(512, 300);
    render::TextureCache cache;
    cache.setBandBudget(512 * 4 * 64);
    ASSERT_TRUE(cache.uploading(frameAsking(cache, bitmap)));
    ASSERT_TRUE(cache.uploading(frameAsking(cache, bitmap)));
    EXPECT_EQ(cache.stats().ownTextures, 1u);
    EXPECT_GT(cache.stats().bytes, 0u);
    EXPECT_GT(bitmap.use_count(), 1) << "the cache keeps the pixels it uploads from";

    // A frame that does not draw it lets it go.
    cache.beginFrame();
    cache.endFrame();
    const render::TextureStats after = cache.stats();
    EXPECT_EQ(after.pictures, 0u);
    EXPECT_EQ(after.ownTextures, 0u);
    EXPECT_EQ(after.bytes, 0u);
    EXPECT_EQ(after.uploading, 0u);
    EXPECT_EQ(after.uploads, 0u);
    EXPECT_EQ(after.releases, 1u);
    EXPECT_EQ(bitmap.use_count(), 1);

    // Asked for again, it starts over: storage, five bands, levels of detail.
    int frames = 1;
    while (cache.uploading(frameAsking(cache, bitmap)) && frames < 100) ++frames;
    EXPECT_EQ(frames, 7);
}

TEST(BandedUpload, UploadingWholeFinishesWhatIsUnderWayAndTakesNewPicturesAtOnce) {
    ASSERT_TRUE(contextReady());
    auto first = pattern(400, 400), second = pattern(300, 500);
    render::TextureCache cache;
    cache.setBandBudget(400 * 4 * 50);
    ASSERT_TRUE(cache.uploading(frameAsking(cache, first)));
    cache.setUploadWhole(true);
    cache.beginFrame();
    EXPECT_FALSE(cache.uploading(cache.slotFor(first)));
    EXPECT_FALSE(cache.uploading(cache.slotFor(second)));
    cache.endFrame();
    EXPECT_EQ(cache.stats().uploads, 2u);
    EXPECT_EQ(cache.stats().uploading, 0u);
    cache.setUploadWhole(false);
    // Atlas pictures never wait.
    EXPECT_FALSE(cache.uploading(frameAsking(cache, pattern(100, 100))));
}

// How many pixels of two pictures of one size differ at all.
int changed(const graphics::Bitmap& a, const graphics::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) == b.pixel(x, y) ? 0 : 1;
    return count;
}

// A plane drawn by the renderer while its picture uploads in bands: every
// frame until it is whole is the picture without the plane, byte for byte.
// The plane is drawn larger than its picture, from its full-size level,
// which is whole a frame before the smaller ones are made; with the page's
// options, every frame drawn whole.
TEST(BandedUpload, APlaneIsNotDrawnUntilItsPictureIsWhole) {
    ASSERT_TRUE(contextReady());
    const ui::RenderOptions before = rendertest::renderer().options();
    rendertest::renderer().setOptions(ui::RenderOptions::page());
    auto view = rendertest::makeView({195, 422});
    rendertest::addPlane(*view, rendertest::solidImage(40, 40, {30, 60, 200, 255}, 1), 0.3, 0.3,
                         {0.2f, 0.3f, -1.2f});
    auto without = rendertest::render(*view);
    ASSERT_TRUE(without);
    const std::size_t uploadsBefore = rendertest::renderer().lastFrame().uploads;

    // 300 × 270 pixels, too large for the atlas: its storage, one band,
    // then the levels of detail.
    auto photo = rendertest::solidImage(300, 270, {220, 120, 30, 255}, 1);
    rendertest::addPlane(*view, photo, 0.8, 0.72, {0, 0, -1.1f}, {}, true, 0.9f);
    int frames = 0;
    std::shared_ptr<const graphics::Bitmap> picture;
    for (; frames < 20; ++frames) {
        picture = rendertest::render(*view);
        ASSERT_TRUE(picture);
        if (rendertest::renderer().lastFrame().uploading == 0) break;
        EXPECT_EQ(changed(*picture, *without), 0) << "frame " << frames << " shows the plane";
    }
    rendertest::renderer().setOptions(before);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(rendertest::renderer().lastFrame().uploads - uploadsBefore, 1u);
    // Whole, it shows: orange over the room in the middle.
    const graphics::Rgba middle = rendertest::pixelAt(*picture, 97.5, 211);
    EXPECT_TRUE(rendertest::near(middle, {220, 120, 30, 255}, 40)) << rendertest::describe(middle);
    EXPECT_GT(changed(*picture, *without), 50000);
}

}  // namespace
