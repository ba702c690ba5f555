// Drawing driven by scripts, as a user draws: strokes and their emoji,
// clearing, cancelled touches, the life cycle, and the button band along
// the bottom edge, zone by zone.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::children;
using testsupport::runScriptFile;

TEST(Strokes, SeveralSamplesMakeOneStrokeWithOneEmoji) {
    auto run = runScriptFile("stroke.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& first = run.dumps[0];
    ASSERT_EQ(first["lines"].size(), 1u);
    const auto& stroke = first["lines"][0];
    EXPECT_EQ(stroke.size(), 4u);
    EXPECT_EQ(first["currentLine"], stroke);  // the lift does not empty it
    EXPECT_EQ(first["draw"], false);
    EXPECT_EQ(first["hud"]["nodes"][0]["text"], "") << "a drawing touch empties the label";
    ASSERT_EQ(children(first).size(), 4u);
    std::set<std::string> pixels;
    for (const auto& child : children(first))
        pixels.insert(child["geometry"]["material"]["image"]["pixels"].get<std::string>());
    EXPECT_EQ(pixels.size(), 1u) << "every sprite of a stroke shows the same emoji";

    const auto& second = run.dumps[1];
    ASSERT_EQ(second["lines"].size(), 2u);
    EXPECT_EQ(second["lines"][0], stroke);
    EXPECT_EQ(second["lines"][1].size(), 2u);
    EXPECT_EQ(second["currentLine"], second["lines"][1]);
    // The same seed picks the same emoji.
    EXPECT_EQ(runScriptFile("stroke.scr").dumps.at(1)["pic"], second["pic"]);
}

TEST(Strokes, WithoutACameraFrameAStrokeIsFiledEmpty) {
    auto run = runScriptFile("no-frame.scr");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.dumps[0]["lines"], json::array({json::array()}));
    EXPECT_TRUE(children(run.dumps[0]).empty());
    EXPECT_EQ(run.dumps[1]["lines"].size(), 2u);
    EXPECT_EQ(run.dumps[1]["lines"][1].size(), 1u);
}

// Two strokes; the delete button, cancelled; a shake, cancelled by its
// number; other motions, which do nothing; a shake, confirmed.
TEST(Clear, AsksFromTheButtonAndFromAShakeAndOnlyConfirmingClears) {
    auto run = testsupport::runScript(
        "seed 8\ninset 34\nlaunch\nframe\ndown 100 300\nmove 120 300\nup\ndown 100 400\nup\n"
        "down 360 820\ndump\nup\nchoose Cancel\ndump\nshake\nchoose #2\ndump\n"
        "motion 0\nmotion 2\ndump\nshake\nchoose OK\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 5u);
    EXPECT_EQ(run.dumps[0]["presented"], json::parse(R"({"type": "alert", "preferredStyle": "alert",
        "title": null, "message": "Clear Drawing?", "popover": null, "actions": [
        {"title": "OK", "style": "destructive"}, {"title": "Cancel", "style": "cancel"}]})"));
    auto lines = run.dumps[0]["lines"];
    EXPECT_EQ(lines.size(), 2u);
    // Cancelled from the button, from a shake by its number; other motions.
    for (int i : {1, 2, 3}) {
        EXPECT_TRUE(run.dumps[i]["presented"].is_null()) << i;
        EXPECT_EQ(run.dumps[i]["lines"], lines) << i;
        EXPECT_EQ(children(run.dumps[i]).size(), children(run.dumps[0]).size()) << i;
    }
    // Confirmed.
    EXPECT_TRUE(run.dumps[4]["lines"].empty());
    EXPECT_TRUE(children(run.dumps[4]).empty());
    EXPECT_TRUE(run.dumps[4]["presented"].is_null());
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

// A second finger coming down mid-stroke files the stroke under way first:
// each stroke is then in `lines`, undo takes the second, and clearing leaves
// no sprite behind in the scene.
TEST(SecondFinger, FilesTheStrokeUnderWayBeforeTheNextBegins) {
    auto run = testsupport::runScript(
        "seed 1\nlaunch\nframe\ndown 100 300\nmove 120 320\ndown 200 400\n"
        "move 130 330 210 410\ndump\nup\ndump\ndown 300 820\nup\ndump\nshake\nchoose OK\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 4u);
    const auto& held = run.dumps[0];
    ASSERT_EQ(held["lines"].size(), 1u) << "the first stroke is filed when the second finger lands";
    EXPECT_EQ(held["lines"][0].size(), 2u);
    EXPECT_EQ(held["draw"], true);
    const auto& lifted = run.dumps[1];
    ASSERT_EQ(lifted["lines"].size(), 2u);
    std::size_t filed = lifted["lines"][0].size() + lifted["lines"][1].size();
    EXPECT_EQ(children(lifted).size(), filed) << "every sprite in the scene belongs to a stroke";
    EXPECT_EQ(children(run.dumps[2]).size(), lifted["lines"][0].size()) << "undo takes the second";
    EXPECT_TRUE(run.dumps[3]["lines"].empty());
    EXPECT_TRUE(children(run.dumps[3]).empty()) << "clearing leaves no sprite behind";
}

// Leaving and coming back: only the view's own callbacks pause and rerun the
// session, never the application's state changes, and nothing drawn is lost.
TEST(LifeCycle, OnlyTheViewsCallbacksPauseAndRunTheSession) {
    auto run = testsupport::runScript(
        "seed 3\nlaunch\nframe\ndown 100 300\nmove 120 320\nup\ndump\n"
        "background\nforeground\nmemory-warning\ndump\ndisappear\ndump\nappear\ndump\n"
        "terminate\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    ASSERT_EQ(run.dumps.size(), 4u) << "nothing runs after terminate";
    const auto& drawn = run.dumps[0];
    for (int i : {1, 3}) {
        EXPECT_EQ(run.dumps[i]["lines"], drawn["lines"]) << i;
        EXPECT_EQ(run.dumps[i]["scene"], drawn["scene"]) << i;
    }
    EXPECT_EQ(run.dumps[1]["session"], drawn["session"]);
    EXPECT_EQ(
        testsupport::mismatches(run.dumps[2]["session"], {{"running", false}, {"pauseCount", 1}}),
        "");
    EXPECT_EQ(testsupport::mismatches(
                  run.dumps[3]["session"],
                  {{"running", true}, {"runCount", 2}, {"lastRunOptions", 0}, {"hasFrame", true}}),
              "");
}

// Every zone of the button band and each of its edges, with and without a
// bottom inset: before each touch the script files a stroke; the touch then
// draws (filed at its lift), opens the menu or the clear alert, or undoes
// that stroke.
TEST(ButtonZones, EveryZoneAndEdgeWithAndWithoutAnInset) {
    enum What { draw, menu, undo, clear };
    // The band starts below y = 794 without an inset, below 777 with one.
    for (auto [inset, top] : {std::pair{0, 794.0}, std::pair{34, 777.0}}) {
        const double in = top + 0.1;
        const std::tuple<double, double, What> touches[] = {
            {30, top, draw},   {30, in, menu},      {59.9, in, menu}, {60, in, draw},
            {270, in, draw},   {270.1, in, undo},   {330, in, undo},  {330.1, in, clear},
            {390, 844, clear}, {360, top - 7, draw}};
        std::ostringstream script;
        script << "seed 21\ninset " << inset << "\nlaunch\nframe\ndown 200 200\nup\n";
        for (auto [x, y, what] : touches)
            script << "down 200 200\nup\ndown " << x << " " << y << "\ndump\nup\n"
                   << (what == menu || what == clear ? "choose Cancel\n" : "");
        auto run = testsupport::runScript(script.str());
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        ASSERT_EQ(run.dumps.size(), std::size(touches));
        std::size_t filed = 1;
        for (std::size_t i = 0; i < std::size(touches); ++i) {
            auto [x, y, what] = touches[i];
            const auto& d = run.dumps[i];
            SCOPED_TRACE("inset " + std::to_string(inset) + ", touch at " + std::to_string(x) +
                         ", " + std::to_string(y));
            filed += what == undo ? 0 : 1;
            EXPECT_EQ(d["draw"], what == draw);
            EXPECT_EQ(d["lines"].size(), filed);
            const auto& shown = d["presented"];
            EXPECT_EQ(shown.is_object() ? shown["message"].get<std::string>() : "",
                      what == menu    ? "Please select:"
                      : what == clear ? "Clear Drawing?"
                                      : "");
            if (what == draw) ++filed;
        }
    }
}

}  // namespace
