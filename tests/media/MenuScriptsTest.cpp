// The menu from its button: the sheet and its entries, where it points on a
// pad, and its words in Chinese.
#include <gtest/gtest.h>

#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

TEST(Menu, OffersFiveCommandsAndCancelAndTheEntriesThatNeedNothingChangeNothing) {
    // The sheet from the button; then Cancel, Take Photo on a device without
    // a camera, and Add Photo, whose picker is cancelled.
    auto run = runScript(
        "seed 2\nlaunch\nframe\ndown 100 300\nup\ndown 30 820\ndump\nup\nchoose Cancel\ndump\n"
        "down 30 820\nup\nchoose \"Take Photo…\"\ndump\n"
        "down 30 820\nup\nchoose \"Add Photo…\"\ndump\npick-cancel\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 5u);
    const auto& before = run.dumps[0];
    EXPECT_EQ(before["presented"], json::parse(R"({"type": "alert", "preferredStyle": "actionSheet",
        "title": null, "message": "Please select:", "popover": null, "actions": [
        {"title": "Add Photo…", "style": "default"}, {"title": "Take Photo…", "style": "default"},
        {"title": "Load Scrawlet", "style": "destructive"}, {"title": "Save Scrawlet", "style": "default"},
        {"title": "Share as Picture…", "style": "default"}, {"title": "Cancel", "style": "cancel"}]})"));
    // A touch on the menu button does not draw.
    EXPECT_EQ(before["draw"], false);
    EXPECT_EQ(
        testsupport::mismatches(run.dumps[3]["presented"], {{"type", "imagePicker"},
                                                            {"sourceType", "photoLibrary"},
                                                            {"modalPresentationStyle", "popover"},
                                                            {"popover", nullptr}}),
        "");
    for (int i : {1, 2, 4}) {
        EXPECT_TRUE(run.dumps[i]["presented"].is_null()) << i;
        for (const char* key : {"lines", "scene", "hud"})
            EXPECT_EQ(run.dumps[i][key], before[key]) << i << ": " << key;
    }
}

// On a pad the sheet points down at the menu button whatever the inset,
// the library picker up from the top edge; the camera shows full screen.
TEST(Menu, OnAPadPointsAtItsSourceAndTheCameraDoesNot) {
    const std::pair<const char*, const char*> cases[] = {
        {"inset 34\nlaunch\ndown 30 820\n",
         R"({"popover": {"sourceRect": [0, 784, 60, 60], "permittedArrowDirections": ["down"]}})"},
        {"launch\ndown 30 820\nup\nchoose #1\n",
         R"({"popover": {"sourceRect": [30, 0, 40, 40], "permittedArrowDirections": ["up"]}})"},
        {"camera yes\nlaunch\ndown 30 820\nup\nchoose #2\n",
         R"({"sourceType": "camera", "modalPresentationStyle": "default", "popover": null})"},
    };
    for (auto [script, presented] : cases) {
        auto run = runScript(std::string("device pad\n") + script + "dump\n");
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        EXPECT_EQ(testsupport::mismatches(run.dumps[0]["presented"], json::parse(presented)), "")
            << script;
    }
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

}  // namespace
