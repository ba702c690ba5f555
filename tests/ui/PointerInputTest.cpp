#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "controller/ViewController.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"

namespace {

using scrawlet::ViewController;
using Time = ui::PointerInput::InputTime;

// A time in the input's own milliseconds.
Time at(double milliseconds) { return Time{milliseconds}; }

// The application launched on a phone with the camera at the origin.
class Launched : public testing::Test {
protected:
    void SetUp() override {
        application.launch(ui::currentLaunchDescription());
        view().session().deliverFrame(scene::Matrix4::identity());
    }
    ui::SceneView& view() { return *application.sceneView(); }
    ViewController& controller() {
        return static_cast<ViewController&>(*application.rootViewController());
    }
    std::size_t spritesInScene() { return view().scene()->rootNode()->childNodes().size(); }
    std::size_t spritesFiled() {
        std::size_t filed = 0;
        for (const auto& stroke : controller().lines) filed += stroke.size();
        return filed;
    }
    // Where the sprites of the current stroke show on the screen, in order.
    std::vector<double> spriteXs() {
        std::vector<double> xs;
        for (const auto& node : controller().currentLine)
            xs.push_back(view().projectPoint(node->position()).x);
        return xs;
    }

public:
    ui::Application application{[] { return std::make_unique<scrawlet::AppDelegate>(); }};
    ui::PointerInput pointers{application};
};

// Whatever interrupts a stroke by presenting a screen, the stroke's sprites
// are filed, so that undo and clear reach every one of them.
TEST_F(Launched, AStrokeInterruptedByAPresentedScreenIsFiled) {
    const std::vector<std::pair<const char*, std::function<void(Launched&)>>> interruptions{
        {"a shake",
         [](Launched& t) { t.application.sendMotionEnded(ui::EventSubtype::motionShake); }},
        {"a second finger on the clear button",
         [](Launched& t) {
             t.pointers.down(2, {380, 830}, at(30));
         }},
    };
    for (const auto& [what, interrupt] : interruptions) {
        pointers.down(1, {100, 300}, at(0));
        pointers.move(1, {120, 320}, at(20));
        pointers.deliverMoves();
        interrupt(*this);
        ASSERT_NE(ui::topPresented(application), nullptr) << what;
        EXPECT_FALSE(controller().draw) << what;
        // Moves and the lift of the cancelled touch go nowhere.
        pointers.move(1, {140, 340}, at(40));
        pointers.deliverMoves();
        pointers.up(1, {140, 340});
        pointers.up(2, {380, 830});
        ASSERT_TRUE(ui::chooseAction(application, "Cancel")) << what;
        EXPECT_EQ(spritesFiled(), spritesInScene()) << what;
        EXPECT_EQ(spritesInScene() % 2, 0u) << what;
        // Undo takes the interrupted stroke away whole.
        controller().undoLastLine();
        EXPECT_EQ(spritesInScene(), 0u) << what;
    }
}

// Fingers on a touch screen, as the desktop and the page deliver them: a
// second finger that lands mid-stroke files the first finger's stroke, so
// that undo and clear reach every sprite either finger placed.
TEST_F(Launched, ASecondFingerMidStrokeFilesTheStrokeUnderWay) {
    pointers.down(1, {100, 300}, at(0));
    pointers.move(1, {120, 320}, at(20));
    pointers.deliverMoves();
    pointers.down(2, {200, 400}, at(30));
    ASSERT_EQ(controller().lines.size(), 1u) << "filed when the second finger lands";
    EXPECT_EQ(controller().lines[0].size(), 2u);
    pointers.move(1, {130, 330}, at(40));
    pointers.move(2, {210, 410}, at(40));
    pointers.deliverMoves();
    pointers.up(1, {130, 330});
    pointers.up(2, {210, 410});
    EXPECT_EQ(spritesFiled(), spritesInScene());
    controller().clearDrawing();
    EXPECT_EQ(spritesInScene(), 0u) << "clearing leaves no sprite behind";
}

void expectXs(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 0.01) << i;
}

// A stroke takes a sample for each sixtieth of a second of the finger's own
// movement: however late the frame that delivers them, none is lost, and
// each is the latest position of its interval.
TEST_F(Launched, MovesAreSampledByTheInputsOwnTimeNotByFrames) {
    pointers.down(1, {100, 300}, at(1000));
    // Moves 20 ms apart, all before one slow frame: one sample each.
    for (int i = 1; i <= 5; ++i) pointers.move(1, {100.0 + 10 * i, 300}, at(1000 + 20 * i));
    EXPECT_EQ(controller().currentLine.size(), 1u) << "kept until the frame";
    EXPECT_TRUE(pointers.deliverMoves());
    EXPECT_FALSE(pointers.deliverMoves());
    expectXs(spriteXs(), {100, 110, 120, 130, 140, 150});
    pointers.up(1, {150, 300});
    ASSERT_EQ(controller().lines.size(), 1u);
    EXPECT_EQ(controller().lines.back().size(), 6u) << "a lift where the finger was adds none";
}

// A mouse that reports every millisecond: one sample for each interval, at
// the latest position reported in it; the interval of the down takes none.
TEST_F(Launched, AFastMouseGivesOneSampleForEachIntervalAtItsLatestPosition) {
    pointers.down(1, {100, 300}, at(0));
    for (int i = 0; i < 99; ++i) pointers.move(1, {100.5 + i, 300}, at(0.5 + i));
    pointers.deliverMoves();
    // Intervals of 16.67 ms: the last moves in them are at 32.5, 49.5,
    // 66.5, 82.5 and 98.5 ms (the one at 16.5 ms still lies in the down's).
    expectXs(spriteXs(), {100, 132.5, 149.5, 166.5, 182.5, 198.5});

    // With a frame after every event, the frames do not add samples: a
    // sample delivered takes no more moves of its interval, and the lift
    // places where the finger left.
    pointers.up(1, {198.5, 300});
    pointers.down(2, {100, 400}, at(2000));
    for (int i = 0; i < 50; ++i) {
        pointers.move(2, {100.5 + i, 400}, at(2000.5 + i));
        pointers.deliverMoves();
    }
    expectXs(spriteXs(), {100, 117.5, 133.5});
    pointers.up(2, {150, 400});
    expectXs(spriteXs(), {100, 117.5, 133.5, 150});
}

// Times that are not numbers, or that go back, belong to the newest
// interval; a lift before the frame still places the last position.
TEST_F(Launched, TimesOutOfOrderOrNotNumbersAddNoSamples) {
    pointers.down(1, {100, 300}, at(500));
    pointers.move(1, {120, 300}, at(530));
    pointers.move(1, {125, 300}, at(400));
    pointers.move(1, {130, 300}, Time{std::nan("")});
    pointers.deliverMoves();
    expectXs(spriteXs(), {100, 130});
    pointers.move(1, {160, 300}, at(560));
    pointers.up(1, {170, 300});
    expectXs(spriteXs(), {100, 130, 170});
}

TEST_F(Launched, APresentedScreensTargetIsChosenWhenReleasedOverTheOnePressed) {
    controller().confirmClear();
    pointers.down(1, {100, 300}, at(0));
    pointers.up(1, {100, 300});
    EXPECT_EQ(spritesInScene(), 0u);
    auto layout = *pointers.describe().topLayout();
    const ui::PresentedTarget* cancel = nullptr;
    for (const auto& target : layout.targets)
        if (target.role == ui::PresentedTargetRole::action && target.actionIndex == 1u)
            cancel = &target;
    ASSERT_NE(cancel, nullptr);
    graphics::Point middle{cancel->rect.midX(), cancel->rect.midY()};
    // Pressed, then released elsewhere: nothing is chosen.
    pointers.down(7, middle, at(10));
    EXPECT_EQ(pointers.describe().topLayout()->targets.size(), layout.targets.size());
    pointers.up(7, {1, 1});
    EXPECT_NE(ui::topPresented(application), nullptr);
    // A finger's tap on it, as a mouse's click, chooses it.
    pointers.down(8, middle, at(20));
    pointers.up(8, middle);
    EXPECT_EQ(ui::topPresented(application), nullptr);
}

}  // namespace
