#include <gtest/gtest.h>

#include <set>

#include "support/ScriptFiles.h"

namespace {

using nlohmann::json;
using testsupport::runScriptFile;

const json& children(const json& dump) { return dump["scene"]["rootNode"]["children"]; }

std::set<std::string> pixelsOf(const json& dump, const json& ids) {
    std::set<std::string> pixels;
    for (const auto& child : children(dump))
        for (const auto& id : ids)
            if (child["id"] == id)
                pixels.insert(child["geometry"]["material"]["image"]["pixels"].get<std::string>());
    return pixels;
}

TEST(Strokes, SeveralSamplesMakeOneStrokeWithOneEmoji) {
    auto run = runScriptFile("stroke.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& first = run.dumps[0];
    ASSERT_EQ(first["lines"].size(), 1u);
    const auto& stroke = first["lines"][0];
    EXPECT_EQ(stroke.size(), 4u);
    EXPECT_EQ(first["currentLine"], stroke);  // the lift does not empty it
    EXPECT_EQ(first["draw"], false);
    EXPECT_EQ(children(first).size(), 4u);
    EXPECT_EQ(pixelsOf(first, stroke).size(), 1u)
        << "every sprite of a stroke shows the same emoji";
    for (const auto& child : children(first)) {
        EXPECT_EQ(child["constraints"], json::array({"billboard"}));
        EXPECT_EQ(child["geometry"]["width"], 0.1);
    }
    EXPECT_EQ(first["texts"]["welcomeText"], "Let's Scrawlet!");

    const auto& second = run.dumps[1];
    ASSERT_EQ(second["lines"].size(), 2u);
    EXPECT_EQ(second["lines"][0], stroke);
    EXPECT_EQ(second["lines"][1].size(), 2u);
    EXPECT_EQ(second["currentLine"], second["lines"][1]);
}

TEST(Strokes, ADrawingTouchEmptiesTheLabel) {
    auto run = testsupport::runScript("launch\nframe\ndown 100 100\ndump\nup\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["hud"]["nodes"][0]["text"], "");
    EXPECT_EQ(run.dumps[0]["draw"], true);
}

TEST(Strokes, TheSameSeedPicksTheSameEmoji) {
    auto a = runScriptFile("stroke.scr");
    auto b = runScriptFile("stroke.scr");
    EXPECT_EQ(a.dumps[0]["pic"], b.dumps[0]["pic"]);
    EXPECT_EQ(a.dumps[1]["pic"], b.dumps[1]["pic"]);
}

TEST(Strokes, WithoutACameraFrameAStrokeIsFiledEmpty) {
    auto run = runScriptFile("no-frame.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["lines"], json::array({json::array()}));
    EXPECT_TRUE(children(run.dumps[0]).empty());
    EXPECT_EQ(run.dumps[1]["lines"].size(), 2u);
    EXPECT_EQ(run.dumps[1]["lines"][1].size(), 1u);
}

TEST(Undo, RemovesStrokesNewestFirstDownToNone) {
    auto run = runScriptFile("undo.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 5u);
    auto lines = run.dumps[0]["lines"];
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(children(run.dumps[0]).size(), 6u);
    for (int undone = 1; undone <= 3; ++undone) {
        const auto& d = run.dumps[undone];
        ASSERT_EQ(d["lines"].size(), 3u - undone);
        for (int kept = 0; kept < 3 - undone; ++kept) EXPECT_EQ(d["lines"][kept], lines[kept]);
    }
    EXPECT_TRUE(children(run.dumps[3]).empty());
    EXPECT_TRUE(run.dumps[4]["lines"].empty());
    // A touch on a button picks an emoji but does not draw.
    EXPECT_EQ(run.dumps[4]["draw"], false);
}

TEST(Clear, AsksFromTheButtonAndFromAShakeAndOnlyConfirmingClears) {
    auto run = runScriptFile("clear.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 6u);
    const auto& asked = run.dumps[0]["presented"];
    ASSERT_FALSE(asked.is_null());
    EXPECT_EQ(asked["type"], "alert");
    EXPECT_EQ(asked["preferredStyle"], "alert");
    EXPECT_TRUE(asked["title"].is_null());
    EXPECT_EQ(asked["message"], "Clear Drawing?");
    EXPECT_EQ(asked["actions"], json::parse(R"([{"title":"OK","style":"destructive"},
                                                {"title":"Cancel","style":"cancel"}])"));
    EXPECT_TRUE(asked["popover"].is_null());
    auto lines = run.dumps[0]["lines"];
    EXPECT_EQ(lines.size(), 2u);
    for (int i : {1, 2, 3}) {
        EXPECT_TRUE(run.dumps[i]["presented"].is_null()) << i;
        EXPECT_EQ(run.dumps[i]["lines"], lines) << i;
        EXPECT_EQ(children(run.dumps[i]).size(), children(run.dumps[0]).size()) << i;
    }
    EXPECT_TRUE(run.dumps[4]["lines"].empty());
    EXPECT_TRUE(children(run.dumps[4]).empty());
    EXPECT_TRUE(run.dumps[5]["lines"].empty());
    EXPECT_TRUE(run.dumps[5]["presented"].is_null());
}

TEST(CancelledTouches, EndTheStrokeLikeALift) {
    auto run = runScriptFile("cancel.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[0];
    EXPECT_EQ(d["draw"], false);
    ASSERT_EQ(d["lines"].size(), 1u);
    EXPECT_EQ(d["lines"][0].size(), 3u);
    EXPECT_TRUE(run.dumps[1]["lines"].empty());
    EXPECT_TRUE(children(run.dumps[1]).empty()) << "undo reaches the cancelled stroke";
}

TEST(LifeCycle, OnlyTheViewsCallbacksPauseAndRunTheSession) {
    auto run = runScriptFile("lifecycle.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 4u) << "nothing runs after terminate";
    const auto& drawn = run.dumps[0];
    const auto& back = run.dumps[1];
    EXPECT_EQ(back["session"], drawn["session"]);
    EXPECT_EQ(back["lines"], drawn["lines"]);
    EXPECT_EQ(back["scene"], drawn["scene"]);
    EXPECT_EQ(run.dumps[2]["session"]["running"], false);
    EXPECT_EQ(run.dumps[2]["session"]["pauseCount"], 1);
    const auto& again = run.dumps[3];
    EXPECT_EQ(again["session"]["running"], true);
    EXPECT_EQ(again["session"]["runCount"], 2);
    EXPECT_EQ(again["session"]["lastRunOptions"], 0);
    EXPECT_EQ(again["session"]["hasFrame"], true);
    EXPECT_EQ(again["lines"], drawn["lines"]);
    EXPECT_EQ(again["scene"], drawn["scene"]);
}

void checkZones(const std::string& script) {
    auto run = runScriptFile(script);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    // The script's comments name what each touch-down should do.
    auto text = testsupport::scriptText(script);
    std::vector<std::string> expected;
    for (std::size_t at = text.find("\n# "); at != std::string::npos;
         at = text.find("\n# ", at + 1)) {
        auto word = text.substr(at + 3, text.find('\n', at + 1) - at - 3);
        if (word == "draw" || word == "menu" || word == "undo" || word == "clear")
            expected.push_back(word);
    }
    ASSERT_EQ(run.dumps.size(), expected.size());
    // Before each case the script files one stroke; then the touch-down
    // draws (filed at its lift), opens the menu or the clear alert, or
    // undoes that stroke.
    std::size_t filed = 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& d = run.dumps[i];
        const std::string& want = expected[i];
        SCOPED_TRACE(script + ", case " + std::to_string(i + 1) + ": " + want);
        filed += 1;
        EXPECT_EQ(d["draw"], want == "draw");
        if (want == "menu") {
            ASSERT_FALSE(d["presented"].is_null());
            EXPECT_EQ(d["presented"]["preferredStyle"], "actionSheet");
        } else if (want == "clear") {
            ASSERT_FALSE(d["presented"].is_null());
            EXPECT_EQ(d["presented"]["message"], "Clear Drawing?");
        } else {
            EXPECT_TRUE(d["presented"].is_null());
        }
        if (want == "undo") filed -= 1;
        EXPECT_EQ(d["lines"].size(), filed);
        if (want == "draw") filed += 1;
    }
}

TEST(ButtonZones, EveryZoneAndEdgeWithoutAnInset) { checkZones("zones-inset0.scr"); }
TEST(ButtonZones, EveryZoneAndEdgeWithAHomeIndicatorInset) { checkZones("zones-inset34.scr"); }

}  // namespace
