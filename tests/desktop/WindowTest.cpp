// The desktop window under a virtual X server, driven like a user would:
// xdotool moves and clicks the mouse and presses keys, the program reports
// its state to a file after every change, and ImageMagick takes screenshots
// (kept in the build folder to look at).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "support/Scripts.h"

extern char** environ;

namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using testsupport::runCommand;

bool have(const char* program) {
    return runCommand(std::string("command -v ") + program + " >/dev/null 2>&1").exitStatus == 0;
}

// A field of what is presented, or null when nothing is.
json presented(const json& state, const char* field) {
    const auto& shown = state["presented"];
    return shown.is_object() && shown.contains(field) ? shown[field] : json();
}
bool nothingPresented(const json& state) { return state["presented"].is_null(); }

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
        xvfb = std::stoi(runCommand("Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>" +
                                    displayFile + " >/dev/null 2>&1 & echo $!")
                             .output);
        for (int i = 0; i < 100 && display.empty(); ++i) {
            std::this_thread::sleep_for(50ms);
            std::ifstream in(displayFile);
            std::string number;
            if (in >> number) display = ":" + number;
        }
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        std::filesystem::create_directories(folder / "home" / "Pictures");
        std::vector<std::string> arguments{
            "env", "DISPLAY=" + display, "HOME=" + (folder / "home").string(),
            "XDG_CONFIG_HOME=" + (folder / "home" / ".config").string(),
            "SCRAWLET_STATE_FILE=" + (folder / "state.json").string(), "LANG=en_US.UTF-8",
            // The window's libraries (D-Bus, the GL driver SDL unloads) keep
            // what they keep; leaks of our own show in the other tests.
            "ASAN_OPTIONS=detect_leaks=0", SCRAWLET_BINARY};
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawnp(&app, "env", nullptr, nullptr, argv.data(), environ), 0);
        window = runCommand(x("search --sync --name '^Scrawlet'")).output;
        ASSERT_FALSE(window.empty());
        ASSERT_TRUE(waitFor([](const json& s) { return s["session"]["running"] == true; }));
        width = state()["hud"]["size"][0];
        height = state()["hud"]["size"][1];
    }

    void TearDown() override {
        for (pid_t* pid : {&app, &xvfb})
            if (*pid > 0) {
                ::kill(*pid, SIGTERM);
                ::waitpid(*pid, nullptr, 0);
            }
    }

    std::string x(const std::string& arguments) const {
        return "DISPLAY=" + display + " xdotool " + arguments;
    }
    void xdo(const std::string& arguments) const {
        ASSERT_EQ(runCommand(x(arguments)).exitStatus, 0) << arguments;
    }
    std::string property(const std::string& name) const {
        return runCommand("DISPLAY=" + display + " xprop -id " + window + " " + name).output;
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
    bool waitForMessage(const std::string& message) const {
        return waitFor([&](const json& s) { return presented(s, "message") == message; });
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
    void drag(double fromX, double fromY, double toX, double toY, int steps = 5) const {
        moveTo(fromX, fromY);
        xdo("mousedown 1");
        for (int i = 1; i <= steps; ++i) {
            moveTo(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
            std::this_thread::sleep_for(30ms);
        }
        xdo("mouseup 1");
    }
    void key(const std::string& keys, const char* how = "key") const {
        xdo(std::string(how) + " --window " + window + " " + keys);
    }
    // Holds `keys` down for a while, as a user walking does.
    void hold(const std::string& keys, std::chrono::milliseconds time) const {
        key(keys, "keydown");
        std::this_thread::sleep_for(time);
        key(keys, "keyup");
    }
    void screenshot(const std::string& name) const {
        std::this_thread::sleep_for(300ms);
        runCommand("DISPLAY=" + display + " import -window root " + (shots / name).string());
    }
    json::size_type sprites() const { return state()["scene"]["rootNode"]["children"].size(); }

    std::filesystem::path folder, shots;
    std::string display, window;
    pid_t xvfb = -1, app = -1;
    double width = 0, height = 0;
};

TEST_F(DesktopWindow, ADragDrawsTheMenuOpensTheWindowResizesAndTheKeysWalk) {
    EXPECT_EQ(width / height, 390.0 / 844.0) << "the window starts phone-shaped";

    // A drag draws one stroke of sprites. Moves reach the drawing once a
    // frame, so a machine too busy to draw may merge some of them.
    drag(width * 0.3, height * 0.3, width * 0.7, height * 0.5, 10);
    ASSERT_TRUE(
        waitFor([](const json& s) { return s["lines"].size() == 1 && s["draw"] == false; }));
    EXPECT_GE(state()["lines"][0].size(), 2u);
    EXPECT_EQ(sprites(), state()["lines"][0].size());
    screenshot("drawn.png");

    // The menu button opens the sheet, as a popover pointing at it.
    click(30 * width / 390, height - 30 * height / 844);
    ASSERT_TRUE(waitFor([](const json& s) { return !nothingPresented(s); }));
    EXPECT_EQ(state()["presented"]["preferredStyle"], "actionSheet");
    EXPECT_FALSE(state()["presented"]["popover"].is_null());
    screenshot("menu.png");

    // Esc closes it without doing anything.
    key("Escape");
    ASSERT_TRUE(waitFor(nothingPresented));
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

    // F1 shows the keys; with them put away, D walks the camera right: a
    // sprite keeps its place in the room, the next is placed from the moved
    // camera.
    key("F1");
    ASSERT_TRUE(waitFor([](const json& s) { return presented(s, "title") == "Keys"; }));
    screenshot("help.png");
    key("Escape");
    ASSERT_TRUE(waitFor(nothingPresented));
    click(300, 350);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 1; }));
    auto placed = state()["scene"]["rootNode"]["children"][0]["position"];
    hold("d", 700ms);
    screenshot("moved.png");
    click(300, 350);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 2; }));
    auto children = state()["scene"]["rootNode"]["children"];
    EXPECT_EQ(children[0]["position"], placed);
    EXPECT_GT(children[1]["position"][0].get<double>(), placed[0].get<double>() + 0.1);
    // A narrow window keeps its least size.
    xdo("windowsize " + window + " 100 100");
    ASSERT_TRUE(waitFor([](const json& s) { return s["hud"]["size"] == json::array({320, 480}); }));
}

TEST_F(DesktopWindow, KeysReachTheDrawingsCommandsAndClosingAsksToSaveIt) {
    // Pictures are at least as sharp as on a phone of three pixels a point.
    EXPECT_GE(state()["window"]["pictureScale"].get<double>(), 3);
    EXPECT_FALSE(property("_NET_WM_ICON").empty());
    drag(width * 0.3, height * 0.3, width * 0.6, height * 0.4);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 1; }));
    EXPECT_EQ(state()["scene"]["rootNode"]["children"][0]["geometry"]["material"]["image"]["scale"],
              3);
    EXPECT_TRUE(state()["unsavedChanges"]);

    // Control+Z undoes; keys held with Control do not walk.
    key("ctrl+z");
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].empty(); }));
    auto camera = state()["session"]["cameraTransform"];
    hold("ctrl+w", 400ms);
    drag(width * 0.3, height * 0.3, width * 0.6, height * 0.4);
    ASSERT_TRUE(waitFor([](const json& s) { return s["lines"].size() == 1; }));
    EXPECT_EQ(state()["session"]["cameraTransform"], camera);

    // Space shakes, which asks to clear; Enter picks the bold Cancel, never
    // the red OK. Delete asks too; Esc leaves the drawing.
    key("space");
    ASSERT_TRUE(waitForMessage("Clear Drawing?"));
    screenshot("clear.png");
    key("Return");
    ASSERT_TRUE(waitFor(nothingPresented));
    EXPECT_EQ(state()["lines"].size(), 1u);
    key("Delete");
    ASSERT_TRUE(waitForMessage("Clear Drawing?"));
    key("Escape");
    ASSERT_TRUE(waitFor(nothingPresented));
    EXPECT_GT(sprites(), 0u);

    // Control+S saves, as the menu does, and the title says where.
    key("ctrl+s");
    ASSERT_TRUE(waitFor([](const json& s) { return s["unsavedChanges"] == false; }));
    EXPECT_EQ(state()["hud"]["nodes"][0]["text"], "Scrawlet saved.");
    EXPECT_NE(property("_NET_WM_NAME").find("Scrawlet - ~/Documents/scrawlet.scn"),
              std::string::npos)
        << property("_NET_WM_NAME") << " / " << state()["window"];

    // F10 opens the menu; the arrows and Enter choose "Load Scrawlet".
    key("F10");
    ASSERT_TRUE(waitFor([](const json& s) { return presented(s, "type") == "alert"; }));
    key("Down Down Down Return");
    ASSERT_TRUE(waitFor([](const json& s) {
        return nothingPresented(s) && s["lines"].size() == 1 &&
               s["lines"][0].size() == 1;  // the loaded drawing, filed as one
    }));

    // The round button shows it is held down.
    drag(width * 0.3, height * 0.5, width * 0.6, height * 0.6);
    ASSERT_TRUE(waitFor([](const json& s) { return s["unsavedChanges"] == true; }));
    moveTo(width - 90 * width / 390, height - 30 * height / 844);
    xdo("mousedown 1");
    ASSERT_TRUE(
        waitFor([](const json& s) { return s["hud"]["nodes"][3]["fillColor"] != "black"; }));
    xdo("mouseup 1");
    ASSERT_TRUE(
        waitFor([](const json& s) { return s["hud"]["nodes"][3]["fillColor"] == "black"; }));

    // Closing with changes asks first; Cancel keeps the window, Save saves
    // and ends.
    drag(width * 0.3, height * 0.5, width * 0.6, height * 0.6);
    ASSERT_TRUE(waitFor([](const json& s) { return s["unsavedChanges"] == true; }));
    key("ctrl+q");
    ASSERT_TRUE(waitForMessage("Save the drawing before quitting?"));
    screenshot("quit.png");
    key("Escape");
    ASSERT_TRUE(waitFor(nothingPresented));
    key("ctrl+q");
    ASSERT_TRUE(waitFor([](const json& s) { return !nothingPresented(s); }));
    key("Return");
    int status = -1;
    for (int i = 0; i < 100 && app > 0; ++i, std::this_thread::sleep_for(50ms))
        if (::waitpid(app, &status, WNOHANG) == app) app = -1;
    ASSERT_EQ(app, -1) << "the window did not close";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(state()["unsavedChanges"]);
}

// A display that is not there, or does not answer, ends the program with a
// message rather than leaving it running unseen.
TEST(Displays, ThatDoNotAnswerEndTheProgramWithAMessage) {
    // A display that accepts a connection and never says anything.
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string name = "/tmp/.X11-unix/X" + std::to_string(600 + ::getpid() % 300);
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address),
                     static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())),
              0);
    ASSERT_EQ(::listen(listener, 4), 0);
    std::string hung = ":" + name.substr(name.rfind('X') + 1);
    for (const std::string& environment :
         {std::string("DISPLAY=:599"), std::string("WAYLAND_DISPLAY=wayland-599"),
          "DISPLAY=" + hung}) {
        // A program that waits for ever is stopped by `timeout`, which
        // then exits with 124; the program's own way out exits with 1.
        auto run = runCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + environment + " timeout 300 " +
                              SCRAWLET_BINARY + " 2>&1");
        EXPECT_EQ(run.exitStatus, 1) << environment << ": " << run.output;
        EXPECT_NE(run.output.find("--headless"), std::string::npos) << environment;
    }
    ::close(listener);
}

// Without a display the window cannot open: the program says so in one line
// and names the way without one.
TEST(CommandLine, WithoutADisplaySaysSoInOneLineAndNamesTheHeadlessWay) {
    auto run = testsupport::runWithoutDisplay("");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.output.find("no display"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("--headless"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\n'), std::string::npos) << "one line";
}

}  // namespace
