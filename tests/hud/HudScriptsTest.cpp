// The HUD as the program builds it: its nodes in drawing order with their
// looks and places, and its texts in the user's language, each fitting
// before the undo button.
#include <gtest/gtest.h>

#include "controller/ViewController.h"
#include "platform/graphics/Backend.h"
#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

const json& node(const json& dump, const std::string& field) {
    for (const auto& n : dump["hud"]["nodes"])
        if (n["field"] == field) return n;
    throw std::runtime_error("no HUD node " + field);
}

json at(double x, double y) { return json::array({x, y}); }

// On a phone with a home indicator, then turned a quarter, then resized:
// the buttons lie along the bottom edge in its corners, the label beside
// the menu button.
TEST(Hud, IsBuiltInDrawingOrderWithItsLookAndPlaces) {
    auto run = runScript(
        "view 390 844\ninset 34\nlaunch\ndump\nrotate\ndump\nrotate\nresize 500 700\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[0];
    EXPECT_EQ(d["hud"]["userInteractionEnabled"], false);
    std::vector<std::string> order;
    for (const auto& n : d["hud"]["nodes"]) order.push_back(n["field"]);
    EXPECT_EQ(order, (std::vector<std::string>{"textLabel", "menuButton", "menuImage", "undoButton",
                                               "undoImage", "deleteButton", "deleteImage"}));
    EXPECT_EQ(testsupport::mismatches(node(d, "textLabel"), json::parse(R"({"fontSize": 20,
        "fontName": "Noteworthy-Bold", "horizontalAlignment": "left", "text": "Let's Scrawlet!"})")),
              "");
    for (const char* disc : {"menuButton", "undoButton", "deleteButton"})
        EXPECT_EQ(testsupport::mismatches(node(d, disc), json::parse(R"({"radius": 28,
            "fillColor": "black", "strokeColor": "clear", "alpha": 0.8})")),
                  "")
            << disc;
    for (const char* icon : {"menu", "undo", "delete"})
        EXPECT_EQ(node(d, icon + std::string("Image"))["imageName"], icon);
    const std::tuple<json, double, double> layouts[] = {
        {at(390, 844), 300, 360}, {at(844, 390), 754, 814}, {at(500, 700), 410, 470}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& [size, undo, clear] = layouts[i];
        const auto& dump = run.dumps[i];
        EXPECT_EQ(dump["hud"]["size"], size);
        EXPECT_EQ(node(dump, "textLabel")["position"], at(90, 39)) << size;
        for (auto [field, x] :
             {std::pair{"menu", 30.0}, std::pair{"undo", undo}, std::pair{"delete", clear}}) {
            EXPECT_EQ(node(dump, field + std::string("Button"))["position"], at(x, 47)) << size;
            EXPECT_EQ(node(dump, field + std::string("Image"))["position"], at(x, 47)) << size;
        }
    }
    // The distance is set once, when the view loads.
    EXPECT_EQ(run.dumps[2]["distance"], 1.234);
}

TEST(Texts, AreChosenByTheFirstPreferredLanguage) {
    const json simplified = json::parse(R"({
        "welcomeText": "开始涂鸦吧！", "cameraText": "拍摄照片", "photoText": "使用照片…",
        "loadText": "打开绘画", "saveText": "储存绘画", "shareText": "分享绘画…", "selectText": "请选择：",
        "clearText": "清除绘画？", "okText": "确定", "cancelText": "取消", "savedText": "已经储存。",
        "saveFailedText": "储存失败。", "noSavedText": "没有存档。", "loadFailedText": "打开失败。"})");
    const json traditional = json::parse(R"({
        "welcomeText": "開始塗鴉吧！", "cameraText": "拍攝照片", "photoText": "使用照片…",
        "loadText": "打開繪畫", "saveText": "儲存繪畫", "shareText": "分享繪畫…", "selectText": "請選擇：",
        "clearText": "清除繪畫？", "okText": "確定", "cancelText": "取消", "savedText": "已經儲存。",
        "saveFailedText": "儲存失敗。", "noSavedText": "沒有存檔。", "loadFailedText": "打開失敗。"})");
    const json english = {{"welcomeText", "Let's Scrawlet!"}, {"cancelText", "Cancel"}};
    const std::pair<const char*, const json*> cases[] = {
        {"zh-Hans-CN", &simplified},  {"zh-Hans-US", &simplified},
        {"zh-Hant-TW", &traditional}, {"zh-Hant-HK", &traditional},
        {"zh-HK", &traditional},      {"zh-CN", &english},
        {"zh-TW", &english},          {"zh", &english},
        {"ZH-HANS", &english},        {"en-US zh-Hans-CN", &english},
        {"fr-FR", &english}};
    for (auto [languages, texts] : cases) {
        auto run = runScript(std::string("languages ") + languages + "\nlaunch\ndump\n");
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        const auto& d = run.dumps[0];
        EXPECT_EQ(d["language"],
                  std::string(languages).substr(0, std::string(languages).find(' ')));
        EXPECT_EQ(testsupport::mismatches(d["texts"], *texts), "") << languages;
        EXPECT_EQ(node(d, "textLabel")["text"], (*texts)["welcomeText"]) << languages;
    }
}

TEST(Texts, ComeFromTheLocaleEnvironmentWhenNotSet) {
    auto run = runScript("launch\ndump\n", {"LANG=zh_TW.UTF-8"});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["language"], "zh-Hant-TW");
    EXPECT_EQ(run.dumps[0]["texts"]["okText"], "確定");
    auto hongKong = runScript("launch\ndump\n", {"LC_ALL=zh_HK.UTF-8", "LANG=en_US.UTF-8"});
    EXPECT_EQ(hongKong.dumps[0]["language"], "zh-HK");
    EXPECT_EQ(hongKong.dumps[0]["texts"]["okText"], "確定");
}

}  // namespace

// Every text the HUD's line shows fits between its left edge and the undo
// button on the narrowest phone, in every language.
TEST(Texts, EveryLineTextFitsBeforeTheUndoButtonOnAPhone) {
    constexpr graphics::Size phone{390, 844};
    for (const char* language : {"en-US", "zh-Hans-CN", "zh-Hant-TW"}) {
        scrawlet::ViewController controller(ui::Coder{});
        controller.useTextsFor(language);
        auto places = scrawlet::hudPlaces(phone, 0, controller.buttonSize);
        // The disc is two points smaller than its button.
        const double undoLeft = places.undo.x - (controller.buttonSize / 2 - 2);
        const double room = undoLeft - places.label.x;
        for (const std::string* text :
             {&controller.welcomeText, &controller.savedText, &controller.saveFailedText,
              &controller.noSavedText, &controller.loadFailedText}) {
            double width = graphics::backend()
                               .measureText(*text, graphics::Font::named("Noteworthy-Bold", 20), 0)
                               .width;
            EXPECT_LE(width, room) << language << ": " << *text;
        }
    }
}
