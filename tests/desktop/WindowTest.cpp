// The desktop window under a virtual X server, driven like a user would:
// xdotool moves and clicks the mouse and presses keys, the program reports
// its state to a file after every change, and ImageMagick takes screenshots
// (kept in the build folder to look at).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "support/Scripts.h"

extern char** environ;

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

bool have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string output(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    if (pipe) ::pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

pid_t start(std::vector<std::string> arguments, const std::vector<std::string>& environment) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

class DesktopWindow : public testing::Test {
protected:
    void SetUp() override {
        if (!have("Xvfb") || !have("xdotool") || !have("import"))
            GTEST_SKIP() << "needs Xvfb, xdotool and ImageMagick (scripts/setup installs them)";
        folder = testsupport::freshDirectory("desktop");
        shots = std::filesystem::path(SCRAWLET_BINARY).parent_path() / "desktop-shots";
        std::filesystem::create_directories(shots);
        // A display number nobody uses: Xvfb picks one and says which.
        std::string displayFile = (folder / "display").string();
        std::string command = "Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>" +
                              displayFile + " >/dev/null 2>&1 & echo $!";
        xvfb = std::stoi(output(command));
        for (int i = 0; i < 100 && display.empty(); ++i) {
            std::this_thread::sleep_for(50ms);
            std::ifstream in(displayFile);
            std::string number;
            if (in >> number) display = ":" + number;
        }
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        std::filesystem::create_directories(folder / "home" / "Pictures");
        app = start({SCRAWLET_BINARY}, {"DISPLAY=" + display, "HOME=" + (folder / "home").string(),
                                        "XDG_CONFIG_HOME=" + (folder / "home" / ".config").string(),
                                        "SCRAWLET_STATE_FILE=" + (folder / "state.json").string(),
                                        "LANG=en_US.UTF-8"});
        ASSERT_GT(app, 0);
        window = output(x("search --sync --name '^Scrawlet$'"));
        ASSERT_FALSE(window.empty());
        ASSERT_TRUE(waitFor([](const json& s) { return s["session"]["running"] == true; }));
    }

    void TearDown() override {
        if (app > 0) {
            ::kill(app, SIGTERM);
            ::waitpid(app, nullptr, 0);
        }
        if (xvfb > 0) {
            ::kill(xvfb, SIGTERM);
            ::waitpid(xvfb, nullptr, 0);
        }
    }

    std::string x(const std::string& arguments) const {
        return "DISPLAY=" + display + " xdotool " + arguments;
    }
    void xdo(const std::string& arguments) const {
        ASSERT_EQ(std::system(x(arguments).c_str()), 0) << arguments;
    }

    json state() const {
        std::ifstream in(folder / "state.json");
        json value = json::parse(in, nullptr, false);
        return value.is_discarded() ? json() : value;
    }

    // Waits up to ten seconds for the program's state to satisfy `test`.
    bool waitFor(const std::function<bool(const json&)>& test) const {
        for (int i = 0; i < 200; ++i) {
            auto s = state();
            if (!s.is_null() && test(s)) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // A point in window coordinates.
    void moveTo(double x, double y) const {
        xdo("mousemove --window " + window + " " + std::to_string(static_cast<int>(x)) + " " +
            std::to_string(static_cast<int>(y)));
    }
    void click(double x, double y) const {
        moveTo(x, y);
        xdo("mousedown 1");
        std::this_thread::sleep_for(50ms);
        xdo("mouseup 1");
    }
    void screenshot(const std::string& name) const {
        std::this_thread::sleep_for(300ms);
        std::system(
            ("DISPLAY=" + display + " import -window root " + (shots / name).string()).c_str());
    }
    json::size_type sprites() const { return state()["scene"]["rootNode"]["children"].size(); }

    std::filesystem::path folder, shots;
    std::string display, window;
    pid_t xvfb = -1, app = -1;
};

TEST_F(DesktopWindow, ADragDrawsTheMenuOpensAndEscClosesItAndTheWindowResizes) {
    auto size = state()["hud"]["size"];
    double width = size[0], height = size[1];
    EXPECT_EQ(width / height, 390.0 / 844.0) << "the window starts phone-shaped";

    // A drag draws one stroke of many sprites.
    moveTo(width * 0.3, height * 0.3);
    xdo("mousedown 1");
    for (int i = 1; i <= 10; ++i) moveTo(width * (0.3 + 0.04 * i), height * (0.3 + 0.02 * i));
    xdo("mouseup 1");
    ASSERT_TRUE(
        waitFor([](const json& s) { return s["lines"].size() == 1 && s["draw"] == false; }));
    EXPECT_GT(state()["lines"][0].size(), 3u);
    EXPECT_EQ(sprites(), state()["lines"][0].size());
    screenshot("drawn.png");

    // The menu button opens the sheet, as a popover pointing at it.
    click(30 * width / 390, height - 30 * height / 844);
    ASSERT_TRUE(waitFor([](const json& s) { return !s["presented"].is_null(); }));
    EXPECT_EQ(state()["presented"]["preferredStyle"], "actionSheet");
    EXPECT_FALSE(state()["presented"]["popover"].is_null());
    screenshot("menu.png");

    // Esc closes it without doing anything.
    xdo("key --window " + window + " Escape");
    ASSERT_TRUE(waitFor([](const json& s) { return s["presented"].is_null(); }));
    EXPECT_EQ(state()["lines"].size(), 1u);

    // A larger window: the buttons follow the corners.
    xdo("windowsize " + window + " 600 700");
    ASSERT_TRUE(waitFor([](const json& s) { return s["hud"]["size"] == json::array({600, 700}); }));
    auto nodes = state()["hud"]["nodes"];
    EXPECT_EQ(nodes[1]["position"], json::array({30, 30}));   // menu
    EXPECT_EQ(nodes[3]["position"], json::array({510, 30}));  // undo
    EXPECT_EQ(nodes[5]["position"], json::array({570, 30}));  // delete
    screenshot("resized.png");

    // The undo button, where it now is, takes the stroke away.
    click(510, 700 - 30);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].empty(); }));
    EXPECT_EQ(sprites(), 0u);
}

TEST_F(DesktopWindow, ShakeAsksToClearAndEnterKeepsTheDrawing) {
    auto size = state()["hud"]["size"];
    double width = size[0], height = size[1];
    moveTo(width * 0.5, height * 0.4);
    xdo("mousedown 1");
    moveTo(width * 0.6, height * 0.45);
    xdo("mouseup 1");
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 1; }));
    xdo("key --window " + window + " space");
    ASSERT_TRUE(waitFor([](const json& s) {
        return !s["presented"].is_null() && s["presented"]["message"] == "Clear Drawing?";
    }));
    screenshot("clear.png");
    // Enter picks the bold Cancel, never the red OK.
    xdo("key --window " + window + " Return");
    ASSERT_TRUE(waitFor([](const json& s) { return s["presented"].is_null(); }));
    EXPECT_EQ(state()["lines"].size(), 1u);
    EXPECT_GT(sprites(), 0u);
}

TEST_F(DesktopWindow, TheKeysMoveTheCameraAndTheDrawingStaysInTheRoom) {
    xdo("key --window " + window + " F1");
    ASSERT_TRUE(waitFor([](const json& s) {
        return !s["presented"].is_null() && s["presented"]["title"] == "Keys";
    }));
    screenshot("help.png");
    xdo("key --window " + window + " Escape");
    ASSERT_TRUE(waitFor([](const json& s) { return s["presented"].is_null(); }));
    auto size = state()["hud"]["size"];
    click(size[0].get<double>() / 2, size[1].get<double>() / 2);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 1; }));
    auto placed = state()["scene"]["rootNode"]["children"][0]["position"];
    xdo("keydown --window " + window + " d");
    std::this_thread::sleep_for(700ms);
    xdo("keyup --window " + window + " d");
    screenshot("moved.png");
    // The sprite keeps its place in the room; a new one is placed from the
    // moved camera.
    click(size[0].get<double>() / 2, size[1].get<double>() / 2);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 2; }));
    auto children = state()["scene"]["rootNode"]["children"];
    EXPECT_EQ(children[0]["position"], placed);
    EXPECT_GT(children[1]["position"][0].get<double>(), placed[0].get<double>() + 0.1);
}

}  // namespace
