#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/ScriptFiles.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

const json& children(const json& dump) { return dump["scene"]["rootNode"]["children"]; }

// A node as saved, without its id, which a load gives anew.
json withoutIds(json node) {
    node.erase("id");
    for (auto& child : node["children"]) child = withoutIds(child);
    return node;
}

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SaveAndLoad : public testing::Test {
protected:
    void SetUp() override { documents = testsupport::freshDirectory("documents"); }
    testsupport::ScriptRun run(const std::string& script) {
        return runScript("documents " + documents.string() + "\n" +
                         testsupport::withSourcePaths(script));
    }
    std::filesystem::path saved() const { return documents / "scrawlet.scn"; }
    std::filesystem::path documents;
};

TEST_F(SaveAndLoad, BringsTheDrawingBackUnderOneContainerFiledAsOneStroke) {
    auto r = run(testsupport::scriptText("save-load.scr"));
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
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(withoutIds(container["children"][i]), withoutIds(children(drawn)[i]))
            << "node " << i;
    // Loading leaves the label alone.
    EXPECT_EQ(loaded["hud"]["nodes"][0]["text"], "Scrawlet saved.");
}

TEST_F(SaveAndLoad, LoadingTwiceLeavesOneCopyAndOneUndoRemovesIt) {
    auto r = run(testsupport::scriptText("save-load.scr"));
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    const auto& twice = r.dumps[4];
    ASSERT_EQ(children(twice).size(), 1u);
    EXPECT_EQ(twice["lines"].size(), 1u);
    EXPECT_EQ(withoutIds(children(twice)[0]), withoutIds(children(r.dumps[3])[0]));
    EXPECT_TRUE(children(r.dumps[5]).empty());
    EXPECT_TRUE(r.dumps[5]["lines"].empty());
}

TEST_F(SaveAndLoad, SpritesNotFiledInTheStrokesSurviveALoad) {
    // A stroke cut short by a second touch-down is never filed.
    auto r =
        run("seed 3\nlaunch\nframe\ndown 100 100\nmove 110 110\nup\n"
            "down 30 820\nup\nchoose \"Save Scrawlet\"\n"
            "down 200 200\nmove 210 210\ndown 300 300\nup\ndump\n"
            "down 30 820\nup\nchoose \"Load Scrawlet\"\ndump\n");
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    const auto& before = r.dumps[0];
    ASSERT_EQ(before["lines"].size(), 2u);
    EXPECT_EQ(children(before).size(), 5u);
    const auto& after = r.dumps[1];
    // The two unfiled sprites stay; the filed strokes go; the container comes.
    ASSERT_EQ(children(after).size(), 3u);
    EXPECT_EQ(children(after)[0]["id"], children(before)[2]["id"]);
    EXPECT_EQ(children(after)[1]["id"], children(before)[3]["id"]);
    EXPECT_EQ(children(after)[2]["children"].size(), 2u);
}

TEST_F(SaveAndLoad, WithNothingSavedTheDrawingStaysAndSaysSo) {
    auto r =
        run("seed 3\nlaunch\nframe\ndown 100 100\nmove 110 110\nup\ndump\n"
            "down 30 820\nup\nchoose \"Load Scrawlet\"\ndump\n");
    ASSERT_EQ(r.exitStatus, 0) << r.errors;
    EXPECT_EQ(r.dumps[1]["scene"], r.dumps[0]["scene"]);
    EXPECT_EQ(r.dumps[1]["lines"], r.dumps[0]["lines"]);
    EXPECT_EQ(r.dumps[1]["hud"]["nodes"][0]["text"], "Nothing saved.");
}

TEST_F(SaveAndLoad, ADamagedFileLeavesTheDrawingAndSaysItCouldNotLoad) {
    for (const char* bad : {"truncated.glb", "garbage.glb"}) {
        auto source = std::filesystem::path(SCRAWLET_SOURCE_DIR) / "tests/data/scenes" / bad;
        ASSERT_TRUE(std::filesystem::exists(source)) << source;
        std::filesystem::copy_file(source, saved(),
                                   std::filesystem::copy_options::overwrite_existing);
        auto r = run(
            "languages zh-Hant-TW\nseed 3\nlaunch\nframe\ndown 100 100\nmove 110 110\nup\ndump\n"
            "down 30 820\nup\nchoose #3\ndump\n");
        ASSERT_EQ(r.exitStatus, 0) << r.errors;
        EXPECT_EQ(r.dumps[1]["scene"], r.dumps[0]["scene"]) << bad;
        EXPECT_EQ(r.dumps[1]["lines"], r.dumps[0]["lines"]) << bad;
        EXPECT_EQ(r.dumps[1]["hud"]["nodes"][0]["text"], "打開失敗。") << bad;
        EXPECT_NE(r.errors.find("scrawlet.scn"), std::string::npos) << r.errors;
    }
}

TEST_F(SaveAndLoad, AFailedSaveSaysSoAndKeepsTheEarlierFile) {
    auto first =
        run("seed 3\nlaunch\nframe\ndown 100 100\nup\ndown 30 820\nup\nchoose \"Save Scrawlet\"\n");
    ASSERT_EQ(first.exitStatus, 0) << first.errors;
    std::string before = bytesOf(saved());
    ASSERT_FALSE(before.empty());
    // A second save of a larger drawing, onto a disk that is full.
    std::string script = "documents " + documents.string() + "\nseed 4\nlaunch\nframe\n";
    for (int i = 0; i < 20; ++i) script += "down " + std::to_string(20 + 15 * i) + " 300\nup\n";
    script += "down 30 820\nup\nchoose \"Save Scrawlet\"\ndump\n";
    auto full = testsupport::runScriptWithFileSizeLimit(script, before.size() / 2);
    ASSERT_EQ(full.exitStatus, 0) << full.errors;
    EXPECT_EQ(full.dumps[0]["hud"]["nodes"][0]["text"], "Save failed.");
    EXPECT_EQ(bytesOf(saved()), before);
    for (const auto& entry : std::filesystem::directory_iterator(documents))
        EXPECT_EQ(entry.path().filename(), "scrawlet.scn")
            << "nothing half-written is left beside it";
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

}  // namespace
