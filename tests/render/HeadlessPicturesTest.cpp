// Pictures from the program run headless: `snapshot` gives the screen at
// its scale, the shared picture is the view without its top 30 points, a
// stroke shows its emoji where the sprites are, and a machine without EGL
// gets a clear message instead of a crash.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "RenderHarness.h"
#include "support/Scripts.h"

namespace {

using graphics::Rgba;
using rendertest::describe;

std::string path(const std::filesystem::path& file) { return "\"" + file.string() + "\""; }
std::shared_ptr<const graphics::Bitmap> png(const std::filesystem::path& file) {
    auto image = testsupport::readPicture(file);
    return image ? image->cgImage() : nullptr;
}

TEST(Snapshots, AreTheScreenAtItsScale) {
    auto folder = testsupport::freshDirectory("snapshot-sizes");
    const std::tuple<const char*, int, int> cases[] = {
        {"view 390 844\nscale 3\nlaunch\nframe\n", 1170, 2532},
        {"view 320 480\nscale 2\ndevice pad\nlaunch\n", 640, 960}};
    for (auto [setup, width, height] : cases) {
        auto run = testsupport::runScript(setup + ("snapshot " + path(folder / "shot.png")) + "\n");
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        auto shot = png(folder / "shot.png");
        ASSERT_TRUE(shot);
        EXPECT_EQ(shot->width(), width);
        EXPECT_EQ(shot->height(), height);
    }
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
    auto screen = png(folder / "screen.png");
    auto shared = png(folder / "shared.png");
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
    auto room = png(folder / "room.png");
    auto stroke = png(folder / "stroke.png");
    ASSERT_TRUE(room && stroke);

    auto differs = [&](double x, double y) {
        return describe(rendertest::pixelAt(*stroke, x, y)) !=
               describe(rendertest::pixelAt(*room, x, y));
    };
    // Where the program put each sprite, seen by a scene view like the
    // program's: its projection says where to look. A sprite is 0.1 m at
    // 1.234 m, about 60 points across here: over its middle most pixels are
    // the emoji's, not the room's.
    auto view = rendertest::makeView();
    const auto& sprites = testsupport::children(run.dumps[0]);
    ASSERT_EQ(sprites.size(), 5u);
    for (const auto& sprite : sprites) {
        auto p = sprite["position"].get<std::array<float, 3>>();
        auto c = view->projectPoint({p[0], p[1], p[2]});
        EXPECT_NEAR(c.y, 422, 0.5);
        int changed = 0;
        for (double y = c.y - 12; y <= c.y + 12; y += 1)
            for (double x = c.x - 12; x <= c.x + 12; x += 1) changed += differs(x, y);
        EXPECT_GT(changed, 25 * 25 / 2)
            << "the sprite at " << c.x << ", " << c.y << " is not drawn";
    }
    // Away from the stroke's row (and from the HUD's text, which the stroke
    // emptied) the room is untouched.
    int differing = 0;
    for (double y = 40; y < 780; y += 7)
        for (double x = 5; x < 385 && std::abs(y - 422) > 32; x += 7) differing += differs(x, y);
    EXPECT_EQ(differing, 0);
}

// Without an EGL vendor the program says so: a snapshot stops the script,
// a shared picture is empty but still shared.
TEST(WithoutEgl, SnapshotsFailWithAClearMessageAndSharingStillWorks) {
    auto folder = testsupport::freshDirectory("no-egl");
    const std::vector<std::string> noEgl{"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json"};
    auto run = testsupport::runScript("launch\nframe\nsnapshot " + path(folder / "shot.png") + "\n",
                                      noEgl);
    EXPECT_EQ(run.exitStatus, 1) << run.errors;
    EXPECT_NE(run.errors.find("line 3: snapshot: pictures cannot be rendered here"),
              std::string::npos)
        << run.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "shot.png"));

    run = testsupport::runScript(
        "launch\nframe\ndown 30 820\nup\nchoose \"Share as Picture…\"\nsave-shared " +
            path(folder / "shared.png") + "\n",
        noEgl);
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_NE(run.errors.find("the view could not be drawn"), std::string::npos) << run.errors;
    auto shared = png(folder / "shared.png");
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->height(), 2442);
}

}  // namespace
