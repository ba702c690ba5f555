#include <gtest/gtest.h>

#include "controller/ViewController.h"
#include "platform/graphics/Backend.h"
#include "support/ScriptFiles.h"

namespace {

using nlohmann::json;
using testsupport::runScript;
using testsupport::runScriptFile;

const json& node(const json& dump, const std::string& field) {
    for (const auto& n : dump["hud"]["nodes"])
        if (n["field"] == field) return n;
    throw std::runtime_error("no HUD node " + field);
}

json at(double x, double y) { return json::array({x, y}); }

TEST(Hud, IsBuiltInDrawingOrderWithItsLookAndPlaces) {
    auto run = runScriptFile("layout.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[0];
    EXPECT_EQ(d["hud"]["size"], at(390, 844));
    EXPECT_EQ(d["hud"]["userInteractionEnabled"], false);
    std::vector<std::string> order;
    for (const auto& n : d["hud"]["nodes"]) order.push_back(n["field"]);
    EXPECT_EQ(order, (std::vector<std::string>{"textLabel", "menuButton", "menuImage", "undoButton",
                                               "undoImage", "deleteButton", "deleteImage"}));
    const auto& label = node(d, "textLabel");
    EXPECT_EQ(label["position"], at(90, 39));
    EXPECT_EQ(label["fontName"], "Noteworthy-Bold");
    EXPECT_EQ(label["fontSize"], 20);
    EXPECT_EQ(label["horizontalAlignment"], "left");
    EXPECT_EQ(label["text"], "Let's Scrawlet!");
    for (auto [disc, icon, x] :
         {std::tuple{"menuButton", "menuImage", 30.0}, std::tuple{"undoButton", "undoImage", 300.0},
          std::tuple{"deleteButton", "deleteImage", 360.0}}) {
        const auto& circle = node(d, disc);
        EXPECT_EQ(circle["position"], at(x, 47)) << disc;
        EXPECT_EQ(circle["radius"], 28);
        EXPECT_EQ(circle["fillColor"], "black");
        EXPECT_EQ(circle["strokeColor"], "clear");
        EXPECT_EQ(circle["alpha"], 0.8);
        EXPECT_EQ(node(d, icon)["position"], at(x, 47)) << icon;
    }
    EXPECT_EQ(node(d, "menuImage")["imageName"], "menu");
    EXPECT_EQ(node(d, "undoImage")["imageName"], "undo");
    EXPECT_EQ(node(d, "deleteImage")["imageName"], "delete");
}

TEST(Hud, AQuarterTurnLaysTheButtonsAlongTheNewBottomEdge) {
    auto run = runScriptFile("layout.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[1];
    EXPECT_EQ(d["hud"]["size"], at(844, 390));
    EXPECT_EQ(node(d, "menuButton")["position"], at(30, 47));
    EXPECT_EQ(node(d, "undoButton")["position"], at(754, 47));
    EXPECT_EQ(node(d, "deleteButton")["position"], at(814, 47));
    EXPECT_EQ(node(d, "undoImage")["position"], at(754, 47));
    EXPECT_EQ(node(d, "deleteImage")["position"], at(814, 47));
    EXPECT_EQ(node(d, "textLabel")["position"], at(90, 39));
}

TEST(Hud, AResizedWindowKeepsTheButtonsInItsCorners) {
    auto run = runScriptFile("layout.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[2];
    EXPECT_EQ(d["hud"]["size"], at(500, 700));
    EXPECT_EQ(node(d, "menuButton")["position"], at(30, 47));
    EXPECT_EQ(node(d, "undoButton")["position"], at(410, 47));
    EXPECT_EQ(node(d, "deleteButton")["position"], at(470, 47));
    // The distance is set once, when the view loads.
    EXPECT_EQ(d["distance"], 1.234);
}

TEST(Hud, ResizedButtonsAnswerTouchesWhereTheyAreDrawn) {
    auto run = runScript(
        "seed 4\nlaunch\nframe\nresize 500 700\ndown 200 200\nup\ndown 410 680\nup\ndump\n"
        "down 470 680\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(run.dumps[0]["lines"].empty()) << "the undo disc at x 410 undid the stroke";
    EXPECT_EQ(run.dumps[1]["presented"]["message"], "Clear Drawing?");
}

struct LanguageCase {
    std::vector<std::string> languages;
    std::string welcome;
    std::string cancel;
};

TEST(Texts, AreChosenByTheFirstPreferredLanguage) {
    const std::string english = "Let's Scrawlet!", simplified = "开始涂鸦吧！",
                      traditional = "開始塗鴉吧！";
    const LanguageCase cases[] = {
        {{"zh-Hans-CN"}, simplified, "取消"},  {{"zh-Hans-US"}, simplified, "取消"},
        {{"zh-Hant-TW"}, traditional, "取消"}, {{"zh-Hant-HK"}, traditional, "取消"},
        {{"zh-HK"}, traditional, "取消"},      {{"zh-CN"}, english, "Cancel"},
        {{"zh-TW"}, english, "Cancel"},        {{"zh"}, english, "Cancel"},
        {{"ZH-HANS"}, english, "Cancel"},      {{"en-US", "zh-Hans-CN"}, english, "Cancel"},
        {{"fr-FR"}, english, "Cancel"},
    };
    for (const auto& c : cases) {
        std::string line = "languages";
        for (const auto& tag : c.languages) line += " " + tag;
        auto run = runScript(line + "\nlaunch\ndump\n");
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        const auto& d = run.dumps[0];
        EXPECT_EQ(d["language"], c.languages.front());
        EXPECT_EQ(d["texts"]["welcomeText"], c.welcome) << line;
        EXPECT_EQ(node(d, "textLabel")["text"], c.welcome) << line;
        EXPECT_EQ(d["texts"]["cancelText"], c.cancel) << line;
    }
}

TEST(Texts, BothChineseSetsAreCompleteWithFullWidthPunctuation) {
    const std::pair<const char*, const char*> sets[] = {{"zh-Hans-CN", R"({
        "welcomeText": "开始涂鸦吧！", "cameraText": "拍摄照片", "photoText": "使用照片…",
        "loadText": "打开绘画", "saveText": "储存绘画", "shareText": "分享绘画…", "selectText": "请选择：",
        "clearText": "清除绘画？", "okText": "确定", "cancelText": "取消", "savedText": "已经储存。",
        "saveFailedText": "储存失败。", "noSavedText": "没有存档。", "loadFailedText": "打开失败。"})"},
                                                        {"zh-Hant-TW", R"({
        "welcomeText": "開始塗鴉吧！", "cameraText": "拍攝照片", "photoText": "使用照片…",
        "loadText": "打開繪畫", "saveText": "儲存繪畫", "shareText": "分享繪畫…", "selectText": "請選擇：",
        "clearText": "清除繪畫？", "okText": "確定", "cancelText": "取消", "savedText": "已經儲存。",
        "saveFailedText": "儲存失敗。", "noSavedText": "沒有存檔。", "loadFailedText": "打開失敗。"})"}};
    for (auto [language, texts] : sets) {
        auto run = runScript(std::string("languages ") + language + "\nlaunch\ndump\n");
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        EXPECT_EQ(run.dumps[0]["texts"], json::parse(texts)) << language;
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
