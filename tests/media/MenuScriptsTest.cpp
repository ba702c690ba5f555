#include <gtest/gtest.h>

#include "support/ScriptFiles.h"

namespace {

using nlohmann::json;
using testsupport::runScript;
using testsupport::runScriptFile;

TEST(Menu, OffersFiveCommandsAndCancelInOrder) {
    auto run = runScriptFile("menu.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& sheet = run.dumps[0]["presented"];
    EXPECT_EQ(sheet["type"], "alert");
    EXPECT_EQ(sheet["preferredStyle"], "actionSheet");
    EXPECT_TRUE(sheet["title"].is_null());
    EXPECT_EQ(sheet["message"], "Please select:");
    EXPECT_EQ(sheet["actions"], json::parse(R"([
        {"title": "Add Photo…", "style": "default"}, {"title": "Take Photo…", "style": "default"},
        {"title": "Load Scrawlet", "style": "destructive"}, {"title": "Save Scrawlet", "style": "default"},
        {"title": "Share as Picture…", "style": "default"}, {"title": "Cancel", "style": "cancel"}])"));
    EXPECT_TRUE(sheet["popover"].is_null()) << "a phone shows the sheet from the bottom";
    // A touch on the menu button does not draw.
    EXPECT_EQ(run.dumps[0]["draw"], false);
}

TEST(Menu, CancellingOrAMissingCameraChangesNothing) {
    auto run = runScriptFile("menu.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& before = run.dumps[0];
    for (int i : {1, 2}) {
        EXPECT_TRUE(run.dumps[i]["presented"].is_null()) << i;
        EXPECT_EQ(run.dumps[i]["lines"], before["lines"]) << i;
        EXPECT_EQ(run.dumps[i]["scene"], before["scene"]) << i;
        EXPECT_EQ(run.dumps[i]["hud"], before["hud"]) << i;
    }
}

TEST(Menu, AddPhotoShowsTheLibraryPickerWhichCancelsCleanly) {
    auto run = runScriptFile("menu.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& picker = run.dumps[3]["presented"];
    EXPECT_EQ(picker["type"], "imagePicker");
    EXPECT_EQ(picker["sourceType"], "photoLibrary");
    EXPECT_EQ(picker["modalPresentationStyle"], "popover");
    EXPECT_TRUE(picker["popover"].is_null());
    EXPECT_TRUE(run.dumps[4]["presented"].is_null());
    EXPECT_EQ(run.dumps[4]["scene"], run.dumps[0]["scene"]);
    EXPECT_EQ(run.dumps[4]["lines"], run.dumps[0]["lines"]);
}

TEST(Menu, OnAPadPointsDownAtTheMenuButtonWhateverTheInset) {
    auto run = runScript("device pad\ninset 34\nlaunch\ndown 30 820\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(
        run.dumps[0]["presented"]["popover"],
        json::parse(R"({"sourceRect": [0, 784, 60, 60], "permittedArrowDirections": ["down"]})"));
}

TEST(Menu, OnAPadTheLibraryPickerPointsUpFromTheTopEdge) {
    auto run = runScript("device pad\nlaunch\ndown 30 820\nup\nchoose #1\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(
        run.dumps[0]["presented"]["popover"],
        json::parse(R"({"sourceRect": [30, 0, 40, 40], "permittedArrowDirections": ["up"]})"));
}

TEST(Menu, ACameraShowsTheCameraPickerWithoutAPopover) {
    auto run = runScript("device pad\ncamera yes\nlaunch\ndown 30 820\nup\nchoose #2\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& picker = run.dumps[0]["presented"];
    EXPECT_EQ(picker["sourceType"], "camera");
    EXPECT_EQ(picker["modalPresentationStyle"], "default");
    EXPECT_TRUE(picker["popover"].is_null());
}

TEST(Menu, SpeaksSimplifiedChinese) {
    auto run = runScript("languages zh-Hans-CN\nlaunch\ndown 30 820\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& sheet = run.dumps[0]["presented"];
    EXPECT_EQ(sheet["message"], "请选择：");
    std::vector<std::string> titles;
    for (const auto& action : sheet["actions"]) titles.push_back(action["title"]);
    EXPECT_EQ(titles, (std::vector<std::string>{"使用照片…", "拍摄照片", "打开绘画", "储存绘画",
                                                "分享绘画…", "取消"}));
}

TEST(Menu, TouchesDoNotReachTheDrawingWhileASheetIsShown) {
    auto run = runScript("launch\nframe\ndown 30 820\nup\ndown 200 200\nmove 210 210\nup\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(run.dumps[0]["lines"].empty());
    EXPECT_TRUE(run.dumps[0]["scene"]["rootNode"]["children"].empty());
}

}  // namespace
