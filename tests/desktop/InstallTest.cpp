// Installing under a prefix: the program finds its resources there, and the
// menu entry, icons and AppStream description are where desktops look and
// pass the freedesktop.org checkers.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "support/Scripts.h"

namespace {

int run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        if (output) *output += buffer;
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have(const char* program) { return run(std::string("command -v ") + program) == 0; }

TEST(Installing, PutsTheProgramItsResourcesAndItsDesktopEntryUnderThePrefix) {
    auto prefix = testsupport::freshDirectory("prefix");
    std::string said;
    ASSERT_EQ(
        run("cmake --install " + std::string(SCRAWLET_BUILD_DIR) + " --prefix " + prefix.string(),
            &said),
        0)
        << said;
    const auto share = prefix / "share";
    const auto desktopEntry = share / "applications/io.scrawlet.Scrawlet.desktop";
    const auto metainfo = share / "metainfo/io.scrawlet.Scrawlet.metainfo.xml";
    ASSERT_TRUE(std::filesystem::exists(desktopEntry));
    ASSERT_TRUE(std::filesystem::exists(metainfo));
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        std::string side = std::to_string(size);
        auto icon =
            share / ("icons/hicolor/" + side + "x" + side + "/apps/io.scrawlet.Scrawlet.png");
        auto bytes = platform::readFile(icon, 1 << 20);
        ASSERT_TRUE(bytes) << icon;
        auto image = graphics::backend().decodeImage(bytes.value(), {});
        ASSERT_TRUE(image) << icon;
        EXPECT_EQ(image.value()->cgImage()->width(), size) << icon;
    }
    if (!have("desktop-file-validate") || !have("appstreamcli"))
        GTEST_SKIP()
            << "needs desktop-file-validate and appstreamcli (scripts/setup installs them)";
    std::string report;
    EXPECT_EQ(run("desktop-file-validate " + desktopEntry.string(), &report), 0) << report;
    EXPECT_EQ(run("appstreamcli validate --no-net " + metainfo.string(), &report), 0) << report;

    // The installed program draws its buttons from the installed resources.
    auto work = testsupport::freshDirectory("installed-run");
    std::ofstream(work / "shot.scr") << "scale 1\nlaunch\nsnapshot shot.png\n";
    ASSERT_EQ(run("env -u SCRAWLET_RESOURCES " + (prefix / "bin/scrawlet").string() +
                      " --headless " + (work / "shot.scr").string(),
                  &report),
              0)
        << report;
    auto bytes = platform::readFile(work / "shot.png", 16 << 20);
    ASSERT_TRUE(bytes);
    auto shot = graphics::backend().decodeImage(bytes.value(), {});
    ASSERT_TRUE(shot);
    // The menu icon's white bars in the middle of its dark disc.
    int white = 0;
    const auto& pixels = *shot.value()->cgImage();
    for (int y = 844 - 44; y < 844 - 16; ++y)
        for (int x = 16; x < 44; ++x) white += pixels.pixel(x, y).r > 200;
    EXPECT_GT(white, 20);
}

}  // namespace
