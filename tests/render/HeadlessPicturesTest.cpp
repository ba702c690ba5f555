// Pictures from the program run headless: `snapshot` gives the screen at
// its scale, the shared picture is the view without its top 30 points, a
// stroke shows its emoji where the sprites are, and a machine without EGL
// gets a clear message instead of a crash.
#include <gtest/gtest.h>

#include <cstring>

#include "RenderHarness.h"
#include "support/Scripts.h"

namespace {

using graphics::Rgba;
using rendertest::describe;

std::string path(const std::filesystem::path& file) { return "\"" + file.string() + "\""; }

TEST(Snapshots, AreTheScreenAtItsScale) {
    auto folder = testsupport::freshDirectory("snapshot-sizes");
    auto run = testsupport::runScript("view 390 844\nscale 3\nlaunch\nframe\nsnapshot " +
                                      path(folder / "phone.png") + "\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    auto phone = rendertest::readPng(folder / "phone.png");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->width(), 1170);
    EXPECT_EQ(phone->height(), 2532);

    run = testsupport::runScript("view 320 480\nscale 2\ndevice pad\nlaunch\nsnapshot " +
                                 path(folder / "small.png") + "\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    auto small = rendertest::readPng(folder / "small.png");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 640);
    EXPECT_EQ(small->height(), 960);
}

TEST(SharedPictures, LeaveOutTheTop30PointsAndShowTheRestAsOnScreen) {
    auto folder = testsupport::freshDirectory("share");
    auto run = testsupport::runScript(
        "view 390 844\nscale 3\nseed 4\nlaunch\nframe\n"
        "down 120 300\nmove 200 380\nmove 280 460\nup\n"
        "snapshot " +
        path(folder / "screen.png") +
        "\n"
        "down 30 820\nup\nchoose \"Share as Picture…\"\n"
        "save-shared " +
        path(folder / "shared.png") + "\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    auto screen = rendertest::readPng(folder / "screen.png");
    auto shared = rendertest::readPng(folder / "shared.png");
    ASSERT_TRUE(screen && shared);
    ASSERT_EQ(shared->width(), 1170);
    ASSERT_EQ(shared->height(), 2442);
    // Row for row, the shared picture is the screen from 90 pixels down.
    int differing = 0;
    for (int y = 0; y < shared->height(); ++y)
        if (std::memcmp(shared->data() + static_cast<std::size_t>(y) * shared->bytesPerRow(),
                        screen->data() + static_cast<std::size_t>(y + 90) * screen->bytesPerRow(),
                        shared->bytesPerRow()) != 0)
            ++differing;
    EXPECT_EQ(differing, 0) << "rows of the shared picture differ from the screen's";
}

TEST(Strokes, ShowTheirEmojiWhereTheSpritesProjectAndTheRoomElsewhere) {
    auto folder = testsupport::freshDirectory("stroke");
    auto run = testsupport::runScript(
        "seed 7\nlaunch\nframe\nsnapshot " + path(folder / "room.png") +
        "\n"
        "down 60 422\nmove 120 422\nmove 195 422\nmove 270 422\nmove 330 422\nup\n"
        "dump\nsnapshot " +
        path(folder / "stroke.png") + "\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    auto room = rendertest::readPng(folder / "room.png");
    auto stroke = rendertest::readPng(folder / "stroke.png");
    ASSERT_TRUE(room && stroke);

    // Where the program put each sprite, seen by a scene view like the
    // program's: its projection says where to look.
    auto view = rendertest::makeView();
    const auto& sprites = run.dumps[0]["scene"]["rootNode"]["children"];
    ASSERT_EQ(sprites.size(), 5u);
    std::vector<scene::Vector3> centres;
    for (const auto& sprite : sprites) {
        const auto& p = sprite["position"];
        scene::Vector3 world{p[0].get<float>(), p[1].get<float>(), p[2].get<float>()};
        centres.push_back(view->projectPoint(world));
    }
    // A sprite is 0.1 m at 1.234 m: about 60 points across here.
    auto nearASprite = [&](double x, double y, double reach) {
        for (const auto& c : centres)
            if (std::abs(x - c.x) < reach && std::abs(y - c.y) < reach) return true;
        return false;
    };
    for (const auto& c : centres) {
        EXPECT_NEAR(c.y, 422, 0.5);
        // Over the sprite's square most pixels are the emoji's, not the room's.
        int changed = 0, all = 0;
        for (double y = c.y - 12; y <= c.y + 12; y += 1)
            for (double x = c.x - 12; x <= c.x + 12; x += 1) {
                ++all;
                if (describe(rendertest::pixelAt(*stroke, x, y)) !=
                    describe(rendertest::pixelAt(*room, x, y)))
                    ++changed;
            }
        EXPECT_GT(changed, all / 2) << "the sprite at " << c.x << ", " << c.y << " is not drawn";
    }
    // Away from the sprites (and from the HUD's text, which the stroke
    // emptied) the room is untouched.
    int roomPixels = 0, differing = 0;
    for (double y = 40; y < 780; y += 7)
        for (double x = 5; x < 385; x += 7) {
            if (nearASprite(x, y, 32)) continue;
            ++roomPixels;
            if (describe(rendertest::pixelAt(*stroke, x, y)) !=
                describe(rendertest::pixelAt(*room, x, y)))
                ++differing;
        }
    EXPECT_GT(roomPixels, 5000);
    EXPECT_EQ(differing, 0);
}

TEST(WithoutEgl, SnapshotsFailWithAClearMessage) {
    // No EGL vendor can be found: the program says so and stops the script.
    auto folder = testsupport::freshDirectory("no-egl");
    auto run = testsupport::runScript("launch\nframe\nsnapshot " + path(folder / "shot.png") + "\n",
                                      {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json"});
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("line 3: snapshot: pictures cannot be rendered here"),
              std::string::npos)
        << run.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "shot.png"));
}

TEST(WithoutEgl, SharingStillWorksWithAnEmptyPicture) {
    auto folder = testsupport::freshDirectory("no-egl-share");
    auto run = testsupport::runScript(
        "launch\nframe\ndown 30 820\nup\nchoose \"Share as Picture…\"\nsave-shared " +
            path(folder / "shared.png") + "\n",
        {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json"});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_NE(run.errors.find("the view could not be drawn"), std::string::npos) << run.errors;
    auto shared = rendertest::readPng(folder / "shared.png");
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->height(), 2442);
}

}  // namespace
