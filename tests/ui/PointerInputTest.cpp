#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "controller/ViewController.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"

namespace {

using scrawlet::ViewController;

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
             t.pointers.down(2, {380, 830});
         }},
    };
    for (const auto& [what, interrupt] : interruptions) {
        pointers.down(1, {100, 300});
        pointers.move(1, {120, 320});
        pointers.deliverMoves();
        interrupt(*this);
        ASSERT_NE(ui::topPresented(application), nullptr) << what;
        EXPECT_FALSE(controller().draw) << what;
        // Moves and the lift of the cancelled touch go nowhere.
        pointers.move(1, {140, 340});
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

TEST_F(Launched, PointerMovesArriveOncePerFrameAtTheLatestPosition) {
    pointers.down(1, {100, 300});
    for (int i = 1; i <= 5; ++i) pointers.move(1, {100.0 + i, 300.0 + i});
    EXPECT_EQ(controller().currentLine.size(), 1u);
    EXPECT_TRUE(pointers.deliverMoves());
    EXPECT_FALSE(pointers.deliverMoves());
    ASSERT_EQ(controller().currentLine.size(), 2u);
    auto latest = view().projectPoint(controller().currentLine.back()->position());
    EXPECT_NEAR(latest.x, 105, 0.01);
    // A lift before the next frame still places the last position.
    pointers.move(1, {130, 330});
    pointers.up(1, {130, 330});
    ASSERT_EQ(controller().lines.size(), 1u);
    EXPECT_EQ(controller().lines.back().size(), 3u);
}

TEST_F(Launched, APresentedScreensTargetIsChosenWhenReleasedOverTheOnePressed) {
    controller().confirmClear();
    pointers.down(1, {100, 300});
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
    pointers.down(7, middle);
    EXPECT_EQ(pointers.describe().topLayout()->targets.size(), layout.targets.size());
    pointers.up(7, {1, 1});
    EXPECT_NE(ui::topPresented(application), nullptr);
    // A finger's tap on it, as a mouse's click, chooses it.
    pointers.down(8, middle);
    pointers.up(8, middle);
    EXPECT_EQ(ui::topPresented(application), nullptr);
}

}  // namespace
