// The headless script language and the command line: what launch gives,
// how malformed lines and failing commands stop a script, and where a
// script file's relative paths lead.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

TEST(Launch, ShowsTheStartingStateOfAPhoneSizedView) {
    auto run = runScript("view 390 844\nlaunch\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 1u);
    const json expected = json::parse(R"({"language": "en-US", "distance": 1.234, "pic": "",
        "draw": false, "fileName": null, "buttonSize": 60, "currentLine": [], "lines": [],
        "presented": null, "scene": {"rootNode": {"children": []}}, "session": {"running": true,
        "runCount": 1, "pauseCount": 0, "frameSemantics": 0, "lastRunOptions": 0,
        "mode": "room"}})");
    EXPECT_EQ(testsupport::mismatches(run.dumps[0], expected), "");
}

TEST(Launch, FollowsTheViewAndTheDevice) {
    const std::tuple<const char*, const char*, json> cases[] = {
        {"view 1024 768", "/distance", 1.792},
        {"segmentation yes", "/session/frameSemantics", 3},
        {"languages \"zh-HK\" # quoted, then a comment", "/language", "zh-HK"},
    };
    for (const auto& [setup, pointer, value] : cases) {
        auto run = runScript(std::string(setup) + "\nlaunch\ndump\n");
        ASSERT_EQ(run.exitStatus, 0) << setup << ": " << run.errors;
        EXPECT_EQ(run.dumps.at(0)[json::json_pointer(pointer)], value) << setup;
    }
}

// A malformed line stops the script with status 2 before anything runs; a
// command that cannot do what it says stops it with status 1. Either way
// the message names the line.
TEST(Scripts, StopAtABadLineWithAMessageNamingIt) {
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"launch\nfly away\n", 2, 2, "unknown command 'fly'"},
        {"view 390\nlaunch\n", 2, 1, "width and a height"},
        {"view 390 tall\nlaunch\n", 2, 1, "'tall' is not a number"},
        {"view nan 844\nlaunch\n", 2, 1, "not a number"},
        {"# a comment\n\nlaunch\ndown 10\n", 2, 4, "X Y"},
        {"launch\nchoose \"OK\n", 2, 2, "not closed"},
        {"down 10 10\nlaunch\n", 2, 1, "needs launch first"},
        {"launch\nview 100 100\n", 2, 2, "must come before launch"},
        {"device tablet\nlaunch\n", 2, 1, "phone|pad"},
        {"launch\npose at 1 2 3 yaw 4\n", 2, 2, "yaw DEG pitch DEG"},
        {"launch\ndump\nbogus\n", 2, 3, "unknown command"},
        {"launch\ndump\nchoose OK\ndump\n", 1, 3, "no alert"},
        {"launch\nmove 1 2\n", 1, 2, "no touch is down"},
        {"launch\ndown 20 830\nup\nchoose Nope\n", 1, 4, "no action titled 'Nope'"},
        {"launch\ndown 20 830\nup\nchoose #9\n", 1, 4, "#1 to #6"},
        {"launch\ndown 20 830\nup\nchoose #18446744073709551615\n", 1, 4, "#1 to #6"},
        {"launch\ndown 20 830\nup\nchoose \"Share as Picture…\"\nsave-shared /nonexistent/a.png\n",
         1, 5, "/nonexistent"},
        {"launch\ndump /nonexistent/state.json\n", 1, 2, "/nonexistent"},
        {"launch\ndown 20 830\nup\nchoose #1\npick " +
             testsupport::testData("truncated.jpg").string() + "\n",
         1, 5, "pick: truncated.jpg: the JPEG picture is damaged"},
    };
    for (const auto& [script, status, line, words] : cases) {
        auto run = runScript(script);
        EXPECT_EQ(run.exitStatus, status) << script << run.errors;
        EXPECT_NE(run.errors.find("line " + std::to_string(line) + ": "), std::string::npos)
            << run.errors;
        EXPECT_NE(run.errors.find(words), std::string::npos) << run.errors;
        EXPECT_TRUE(status == 1 || run.dumps.empty()) << "a malformed script runs nothing";
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
    auto run = testsupport::runCommand("cd " + elsewhere.string() + " && " + SCRAWLET_BINARY +
                                       " --headless " + (folder / "photo.scr").string() + " 2>&1");
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_TRUE(run.output.empty()) << "a dump to a file is not printed";
    std::ifstream in(folder / "state.json");
    auto state = json::parse(in, nullptr, false);
    ASSERT_FALSE(state.is_discarded());
    EXPECT_EQ(state["lines"].size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

// A script's pictures and dumps go where a shell's redirection would send
// them: onto a device (which stays a device) and into a pipe's reader.
TEST(Scripts, OutputsGoOntoDevicesAndIntoPipesWithoutReplacingThem) {
    auto folder = testsupport::freshDirectory("script-outputs");
    auto pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    testsupport::ScriptRun run;
    auto received = testsupport::readThroughPipe(pipe, [&] {
        run = runScript("seed 2\nlaunch\nframe\ndown 100 100\nup\ndump " + pipe.string() + "\n");
    });
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    auto state = json::parse(received, nullptr, false);
    ASSERT_FALSE(state.is_discarded()) << received;
    EXPECT_EQ(state["lines"].size(), 1u);
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));

    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    // A second name for the device that discards what is written to it.
    auto device = folder / "fakenull";
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    run = runScript("launch\nframe\nsnapshot " + device.string() + "\n");
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    struct stat status {};
    ASSERT_EQ(::lstat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_EQ(status.st_rdev, makedev(1, 3));
}

TEST(CommandLine, RefusesUnknownOptionsAndAMissingScript) {
    EXPECT_EQ(testsupport::runWithoutDisplay("--fly").exitStatus, 2);
    EXPECT_EQ(testsupport::runWithoutDisplay("--headless").exitStatus, 2);
    auto run = testsupport::runWithoutDisplay("--headless /nonexistent/script.scr");
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.output.find("/nonexistent/script.scr"), std::string::npos) << run.output;
}

// The usage text has a line for each host the program was built with, the
// headless one among them, and one for the help.
TEST(CommandLine, HelpNamesTheHeadlessHostAndItself) {
    auto run = testsupport::runCommand(std::string(SCRAWLET_BINARY) + " --help");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output.rfind("usage: scrawlet", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("scrawlet --headless FILE run a script"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("scrawlet --help          show this text"), std::string::npos)
        << run.output;
}

}  // namespace
