// Saving and loading from the menu: the drawing comes back under one
// container filed as one stroke; what a load leaves and says when there is
// nothing to load, or no documents folder. (Failed saves: tests/scene.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

using testsupport::children;

// A node as saved, without its id, which a load gives anew.
json withoutIds(json node) {
    node.erase("id");
    for (auto& child : node["children"]) child = withoutIds(child);
    return node;
}

class SaveAndLoad : public testing::Test {
protected:
    void SetUp() override { documents = testsupport::freshDirectory("documents"); }
    testsupport::ScriptRun run(const std::string& script) {
        return runScript("documents " + documents.string() + "\n" + script);
    }
    std::filesystem::path saved() const { return documents / "scrawlet.scn"; }
    std::filesystem::path documents;
};

// The drawing comes back under one container filed as one stroke; a second
// load leaves one copy, and one undo removes it.
TEST_F(SaveAndLoad, BringsTheDrawingBackUnderOneContainerFiledAsOneStroke) {
    auto menu = [](const char* choice) {
        return std::string("down 30 820\nup\nchoose \"") + choice + "\"\n";
    };
    // A stroke, a photo, another stroke; saved, cleared, loaded twice, undone.
    auto r =
        run("seed 14\nlaunch\npose at 0.2 0.1 0 yaw 20 pitch 5\nframe\n"
            "down 100 300\nmove 140 320\nmove 180 330\nup\n" +
            menu("Add Photo…") + "pick " + testsupport::testData("photo-exif-6.jpg").string() +
            "\ndown 200 500\nmove 220 520\nup\ndump\n" + menu("Save Scrawlet") +
            "dump\nshake\nchoose OK\ndump\n" + menu("Load Scrawlet") + "dump\n" +
            menu("Load Scrawlet") + "dump\ndown 300 820\nup\ndump\n");
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    ASSERT_EQ(r.dumps.size(), 6u);
    const auto& drawn = r.dumps[0];
    EXPECT_EQ(children(drawn).size(), 6u);
    EXPECT_EQ(r.dumps[1]["hud"]["nodes"][0]["text"], "Scrawlet saved.");
    EXPECT_TRUE(std::filesystem::exists(saved()));
    EXPECT_TRUE(children(r.dumps[2]).empty());

    const auto& loaded = r.dumps[3];
    ASSERT_EQ(children(loaded).size(), 1u);
    const auto& container = children(loaded)[0];
    EXPECT_EQ(loaded["lines"], json::array({json::array({container["id"]})}));
    EXPECT_EQ(container["position"], json::parse("[0, 0, 0]"));
    EXPECT_TRUE(container["geometry"].is_null());
    ASSERT_EQ(container["children"].size(), 6u);
    // The photo is kept as a JPEG file: its pixels come back close, not the
    // same; the emoji's exactly.
    auto comparable = [](json node) {
        node = withoutIds(node);
        if (node["geometry"].is_object() && node["geometry"]["material"]["doubleSided"] == true)
            node["geometry"]["material"]["image"].erase("pixels");
        return node;
    };
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(comparable(container["children"][i]), comparable(children(drawn)[i]))
            << "node " << i;
    // Loading leaves the label alone.
    EXPECT_EQ(loaded["hud"]["nodes"][0]["text"], "Scrawlet saved.");

    const auto& twice = r.dumps[4];
    ASSERT_EQ(children(twice).size(), 1u);
    EXPECT_EQ(twice["lines"].size(), 1u);
    EXPECT_EQ(withoutIds(children(twice)[0]), withoutIds(container));
    EXPECT_TRUE(children(r.dumps[5]).empty());
    EXPECT_TRUE(r.dumps[5]["lines"].empty());
}

TEST_F(SaveAndLoad, AStrokeCutShortByASecondFingerGoesWithALoad) {
    // A second touch-down files the stroke under way, so that a load, which
    // replaces the filed strokes, leaves none of its sprites behind.
    auto r =
        run("seed 3\nlaunch\nframe\ndown 100 100\nmove 110 110\nup\n"
            "down 30 820\nup\nchoose \"Save Scrawlet\"\n"
            "down 200 200\nmove 210 210\ndown 300 300\nup\ndump\n"
            "down 30 820\nup\nchoose \"Load Scrawlet\"\ndump\n");
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    const auto& before = r.dumps[0];
    ASSERT_EQ(before["lines"].size(), 3u);
    EXPECT_EQ(children(before).size(), 5u);
    const auto& after = r.dumps[1];
    // Only the loaded drawing's container is left.
    ASSERT_EQ(children(after).size(), 1u);
    EXPECT_EQ(children(after)[0]["children"].size(), 2u);
    EXPECT_EQ(after["lines"].size(), 1u);
}

// With nothing saved, or a damaged file, a load leaves the drawing and says
// why (in the user's language; the damaged file is named in the log).
TEST_F(SaveAndLoad, WithNothingOrADamagedFileSavedTheDrawingStaysAndSaysWhy) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"", "en-US", "Nothing saved."},
        {"truncated.glb", "zh-Hant-TW", "打開失敗。"},
        {"garbage.glb", "zh-Hant-TW", "打開失敗。"}};
    for (auto [bad, language, said] : cases) {
        if (*bad)
            std::filesystem::copy_file(testsupport::testData(std::string("scenes/") + bad), saved(),
                                       std::filesystem::copy_options::overwrite_existing);
        auto r = run(std::string("languages ") + language +
                     "\nseed 3\nlaunch\nframe\ndown 100 100\nmove 110 110\nup\ndump\n"
                     "down 30 820\nup\nchoose #3\ndump\n");
        ASSERT_EQ(r.exitStatus, 0) << r.errors;
        EXPECT_EQ(r.dumps[1]["scene"], r.dumps[0]["scene"]) << bad;
        EXPECT_EQ(r.dumps[1]["lines"], r.dumps[0]["lines"]) << bad;
        EXPECT_EQ(r.dumps[1]["hud"]["nodes"][0]["text"], said) << bad;
        EXPECT_TRUE(!*bad || r.errors.find("scrawlet.scn") != std::string::npos) << r.errors;
    }
}

TEST_F(SaveAndLoad, WithoutADocumentsFolderBothDoNothing) {
    auto r = runScript(
        "documents none\nseed 3\nlaunch\nframe\ndown 100 100\nup\ndump\n"
        "down 30 820\nup\nchoose \"Save Scrawlet\"\ndump\n"
        "down 30 820\nup\nchoose \"Load Scrawlet\"\ndump\n");
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    // Every touch on the menu button picks a new emoji; nothing else changes.
    for (auto& dump : r.dumps) dump.erase("pic");
    EXPECT_EQ(r.dumps[1], r.dumps[0]);
    EXPECT_EQ(r.dumps[2], r.dumps[0]);
}

// The saved drawing kept in another folder through a link: saving writes
// the new drawing there and leaves the link; a pipe in the file's place is
// never replaced, and the label says the save failed.
TEST_F(SaveAndLoad, SavesGoThroughALinkButNeverOntoAPipe) {
    auto elsewhere = testsupport::freshDirectory("synced");
    const std::string save = "down 30 820\nup\nchoose \"Save Scrawlet\"\ndump\n";
    auto first = run("seed 3\nlaunch\nframe\ndown 100 100\nup\n" + save);
    ASSERT_EQ(first.exitStatus, 0) << first.errors;
    std::filesystem::rename(saved(), elsewhere / "scrawlet.scn");
    std::filesystem::create_symlink(elsewhere / "scrawlet.scn", saved());

    auto second = run("seed 4\nlaunch\nframe\ndown 100 100\nmove 150 150\nmove 200 200\nup\n" +
                      save + "shake\nchoose OK\ndown 30 820\nup\nchoose \"Load Scrawlet\"\ndump\n");
    ASSERT_EQ(second.exitStatus, 0) << second.errors;
    EXPECT_EQ(second.dumps[0]["hud"]["nodes"][0]["text"], "Scrawlet saved.");
    EXPECT_TRUE(std::filesystem::is_symlink(saved()));
    // What the link's file holds now is the second drawing: three sprites.
    ASSERT_EQ(children(second.dumps[1]).size(), 1u);
    EXPECT_EQ(children(second.dumps[1])[0]["children"].size(), 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere), {}), 1);

    std::filesystem::remove(saved());
    ASSERT_EQ(::mkfifo(saved().c_str(), 0600), 0);
    auto third = run("seed 5\nlaunch\nframe\ndown 100 100\nup\n" + save);
    ASSERT_EQ(third.exitStatus, 0) << third.errors;
    EXPECT_EQ(third.dumps[0]["hud"]["nodes"][0]["text"], "Save failed.");
    EXPECT_NE(third.errors.find("is a pipe, not a file"), std::string::npos) << third.errors;
    EXPECT_TRUE(std::filesystem::is_fifo(saved()));
}

}  // namespace
