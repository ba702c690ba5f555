#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "support/Scripts.h"

namespace {

using testsupport::runScript;

TEST(Launch, ShowsTheStartingStateOfAPhoneSizedView) {
    auto run = runScript("view 390 844\nlaunch\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    const auto& d = run.dumps[0];
    EXPECT_EQ(d["language"], "en-US");
    EXPECT_EQ(d["distance"], 1.234);
    EXPECT_EQ(d["pic"], "");
    EXPECT_EQ(d["draw"], false);
    EXPECT_TRUE(d["fileName"].is_null());
    EXPECT_EQ(d["buttonSize"], 60);
    EXPECT_EQ(d["texts"]["welcomeText"], "Let's Scrawlet!");
    EXPECT_EQ(d["texts"]["cameraText"], "Take Photo\u2026");
    EXPECT_EQ(d["texts"]["savedText"], "Scrawlet saved.");
    EXPECT_EQ(d["session"]["running"], true);
    EXPECT_EQ(d["session"]["runCount"], 1);
    EXPECT_EQ(d["session"]["pauseCount"], 0);
    EXPECT_EQ(d["session"]["frameSemantics"], 0);
    EXPECT_EQ(d["session"]["lastRunOptions"], 0);
    EXPECT_TRUE(d["scene"]["rootNode"]["children"].empty());
    EXPECT_TRUE(d["currentLine"].empty());
    EXPECT_TRUE(d["lines"].empty());
    EXPECT_TRUE(d["presented"].is_null());
}

TEST(Launch, DistanceFollowsTheViewSize) {
    auto run = runScript("view 1024 768\nlaunch\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["distance"], 1.792);
}

TEST(Launch, RunsWithSegmentationWhereTheDeviceSupportsIt) {
    auto run = runScript("segmentation yes\nlaunch\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["session"]["frameSemantics"], 3);
}

// A malformed line stops the script with status 2 and a message naming it.
void expectMalformed(const std::string& script, int line, const std::string& words) {
    auto run = runScript(script);
    EXPECT_EQ(run.exitStatus, 2) << script;
    EXPECT_NE(run.errors.find("line " + std::to_string(line)), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(words), std::string::npos) << run.errors;
}

TEST(MalformedScripts, StopWithAMessageNamingTheLine) {
    expectMalformed("launch\nfly away\n", 2, "unknown command 'fly'");
    expectMalformed("view 390\nlaunch\n", 1, "width and a height");
    expectMalformed("view 390 tall\nlaunch\n", 1, "'tall' is not a number");
    expectMalformed("# a comment\n\nlaunch\ndown 10\n", 4, "X Y");
    expectMalformed("launch\nchoose \"OK\n", 2, "not closed");
    expectMalformed("down 10 10\nlaunch\n", 1, "needs launch first");
    expectMalformed("launch\nview 100 100\n", 2, "must come before launch");
    expectMalformed("device tablet\nlaunch\n", 1, "phone|pad");
    expectMalformed("launch\npose at 1 2 3 yaw 4\n", 2, "yaw DEG pitch DEG");
    expectMalformed("view nan 844\nlaunch\n", 1, "not a number");
}

TEST(MalformedScripts, NothingRunsBeforeASyntaxErrorIsFound) {
    auto run = runScript("launch\ndump\nbogus\n");
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_TRUE(run.dumps.empty());
}

// A command that cannot do what it says stops the script with status 1 and
// a message naming the line.
TEST(FailedCommands, StopTheScriptWithAMessageNamingTheLine) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"launch\ndump\nchoose OK\ndump\n", 3, "no alert"},
        {"launch\nmove 1 2\n", 2, "no touch is down"},
        {"launch\ndown 20 830\nup\nchoose Nope\n", 4, "no action titled 'Nope'"},
        {"launch\ndown 20 830\nup\nchoose #9\n", 4, "#1 to #6"},
        {"launch\ndown 20 830\nup\nchoose #18446744073709551615\n", 4, "#1 to #6"},
        {"launch\ndown 20 830\nup\nchoose \"Share as Picture…\"\nsave-shared /nonexistent/a.png\n",
         5, "/nonexistent"},
        {"launch\ndump /nonexistent/state.json\n", 2, "/nonexistent"},
    };
    for (const auto& [script, line, words] : cases) {
        auto run = runScript(script);
        EXPECT_EQ(run.exitStatus, 1) << script << run.errors;
        EXPECT_NE(run.errors.find("line " + std::to_string(line)), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(words), std::string::npos) << run.errors;
    }
}

TEST(Scripts, RelativePathsAreTheScriptFilesOwn) {
    // A script beside its pictures, run from another folder, finds them and
    // writes beside itself.
    auto folder = testsupport::freshDirectory("script-folder");
    std::filesystem::create_directories(folder / "pictures");
    std::filesystem::copy_file(testsupport::testData("photo-exif-6.jpg"),
                               folder / "pictures" / "photo.jpg");
    std::ofstream(folder / "photo.scr")
        << "library pictures\nlaunch\nframe\ndown 30 820\nup\nchoose #1\n"
           "pick pictures/photo.jpg\ndump state.json\n";
    auto elsewhere = testsupport::freshDirectory("elsewhere");
    std::string command = "cd " + elsewhere.string() + " && " + SCRAWLET_BINARY + " --headless " +
                          (folder / "photo.scr").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(folder / "state.json");
    auto state = nlohmann::json::parse(in, nullptr, false);
    ASSERT_FALSE(state.is_discarded());
    EXPECT_EQ(state["lines"].size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST(Scripts, QuotedTextsAndCommentsAreRead) {
    auto run = runScript("languages \"en-US\" # the usual\nlaunch\ndump # now\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["language"], "en-US");
}

TEST(Scripts, DumpsToAFile) {
    auto folder = testsupport::freshDirectory("dump");
    auto file = folder / "state.json";
    auto run = runScript("launch\ndump " + file.string() + "\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(run.dumps.empty());
    std::ifstream in(file);
    auto state = nlohmann::json::parse(in);
    EXPECT_EQ(state["distance"], 1.234);
}

}  // namespace

namespace {

// Runs the program with `arguments` and no display; returns the exit status
// and what it wrote to standard error.
std::pair<int, std::string> runWithoutDisplay(const std::string& arguments) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(SCRAWLET_BINARY) +
                          " " + arguments + " 2>&1 >/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    int status = ::pclose(pipe);
    return {WEXITSTATUS(status), text};
}

TEST(CommandLine, WithoutADisplaySaysSoAndNamesTheHeadlessWay) {
    auto [status, message] = runWithoutDisplay("");
    EXPECT_EQ(status, 1);
    EXPECT_NE(message.find("no display"), std::string::npos) << message;
    EXPECT_NE(message.find("--headless"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << "one line";
}

TEST(CommandLine, RefusesUnknownOptionsAndAMissingScript) {
    EXPECT_EQ(runWithoutDisplay("--fly").first, 2);
    EXPECT_EQ(runWithoutDisplay("--headless").first, 2);
    auto [status, message] = runWithoutDisplay("--headless /nonexistent/script.scr");
    EXPECT_EQ(status, 2);
    EXPECT_NE(message.find("/nonexistent/script.scr"), std::string::npos) << message;
}

}  // namespace
