#include <gtest/gtest.h>

#include "controller/ViewController.h"

namespace {

using scrawlet::Stroke;
using scrawlet::ViewController;

class UndoAndClear : public testing::Test {
protected:
    void SetUp() override {
        controller = std::make_shared<ViewController>(ui::Coder{});
        auto view = std::make_shared<ui::SceneView>();
        view->setScene(std::make_shared<scene::Scene>());
        controller->setSceneView(view);
    }
    // An alert left on screen holds the controller through its handler.
    void TearDown() override { controller->dismissViewControllerAnimated(false, nullptr); }
    // A stroke of `count` nodes, in the scene and filed.
    Stroke file(int count) {
        Stroke stroke;
        for (int i = 0; i < count; ++i) {
            auto node = scene::Node::make();
            root().addChildNode(node);
            stroke.push_back(node);
        }
        controller->lines.push_back(stroke);
        return stroke;
    }
    scene::Node& root() { return *controller->sceneView->scene()->rootNode(); }
    std::shared_ptr<ui::AlertController> presentedAlert() {
        return std::dynamic_pointer_cast<ui::AlertController>(
            controller->presentedViewController());
    }
    std::shared_ptr<ViewController> controller;
};

TEST_F(UndoAndClear, UndoRemovesStrokesNewestFirstDownToNone) {
    auto first = file(2);
    auto second = file(3);
    controller->undoLastLine();
    EXPECT_EQ(controller->lines.size(), 1u);
    for (const auto& node : second) EXPECT_EQ(node->parentNode(), nullptr);
    for (const auto& node : first) EXPECT_EQ(node->parentNode(), &root());
    controller->undoLastLine();
    EXPECT_TRUE(controller->lines.empty());
    EXPECT_TRUE(root().childNodes().empty());
    controller->undoLastLine();  // one more changes nothing
    EXPECT_TRUE(controller->lines.empty());
}

TEST_F(UndoAndClear, UndoOfAnEmptyStrokeShortensTheListOnly) {
    auto kept = file(2);
    controller->lines.push_back({});
    controller->undoLastLine();
    EXPECT_EQ(controller->lines.size(), 1u);
    EXPECT_EQ(root().childNodes().size(), 2u);
}

TEST_F(UndoAndClear, UndoLeavesTheStrokeBeingDrawnAndTheLabelAlone) {
    file(1);
    controller->draw = true;
    controller->currentLine = file(2);
    controller->lines.pop_back();
    controller->undoLastLine();
    EXPECT_TRUE(controller->draw);
    EXPECT_EQ(controller->currentLine.size(), 2u);
    EXPECT_EQ(root().childNodes().size(), 2u);
}

TEST_F(UndoAndClear, ClearAsksFirstWithTheConfirmingActionBeforeTheCancellingOne) {
    controller->clearText = "Clear Drawing?";
    controller->confirmClear();
    auto alert = presentedAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), std::nullopt);
    EXPECT_EQ(alert->message(), "Clear Drawing?");
    EXPECT_EQ(alert->preferredStyle(), ui::AlertControllerStyle::alert);
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    EXPECT_EQ(alert->actions()[0]->style(), ui::AlertActionStyle::destructive);
    EXPECT_EQ(alert->actions()[1]->title(), "Cancel");
    EXPECT_EQ(alert->actions()[1]->style(), ui::AlertActionStyle::cancel);
    EXPECT_EQ(alert->popoverPresentationController(), nullptr);
}

TEST_F(UndoAndClear, CancellingLeavesEverythingAsItWas) {
    file(2);
    controller->fileName = "kept";
    controller->confirmClear();
    auto alert = presentedAlert();
    alert->choose(alert->actions()[1]);
    EXPECT_EQ(controller->presentedViewController(), nullptr);
    EXPECT_EQ(controller->lines.size(), 1u);
    EXPECT_EQ(root().childNodes().size(), 2u);
    EXPECT_EQ(controller->fileName, "kept");
}

TEST_F(UndoAndClear, ConfirmingRemovesEveryFiledNodeButNotTheStrokeBeingDrawn) {
    file(2);
    file(1);
    auto unfiled = scene::Node::make();
    root().addChildNode(unfiled);
    controller->currentLine = {unfiled};
    controller->fileName = "old";
    controller->confirmClear();
    auto alert = presentedAlert();
    alert->choose(alert->actions()[0]);
    EXPECT_TRUE(controller->lines.empty());
    EXPECT_EQ(controller->fileName, std::nullopt);
    ASSERT_EQ(root().childNodes().size(), 1u);
    EXPECT_EQ(root().childNodes().front(), unfiled);
}

TEST_F(UndoAndClear, ClearingNothingStillAsksAndResetsTheFileName) {
    controller->fileName = "x";
    controller->confirmClear();
    auto alert = presentedAlert();
    ASSERT_NE(alert, nullptr);
    alert->choose(alert->actions()[0]);
    EXPECT_EQ(controller->fileName, std::nullopt);
    EXPECT_TRUE(root().childNodes().empty());
}

TEST_F(UndoAndClear, AShakeAsksToClearAndOtherMotionsDoNot) {
    controller->motionEnded(ui::EventSubtype::none, nullptr);
    controller->motionEnded(static_cast<ui::EventSubtype>(7), nullptr);
    EXPECT_EQ(presentedAlert(), nullptr);
    controller->motionEnded(ui::EventSubtype::motionShake, nullptr);
    ASSERT_NE(presentedAlert(), nullptr);
    EXPECT_EQ(presentedAlert()->message(), controller->clearText);
}

}  // namespace
