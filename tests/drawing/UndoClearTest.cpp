// Undo and clear on the controller, with strokes filed by hand.
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

// Undo removes strokes newest first down to none, an empty stroke from the
// list only, and leaves the stroke being drawn alone.
TEST_F(UndoAndClear, UndoRemovesStrokesNewestFirstDownToNone) {
    auto first = file(2);
    auto second = file(3);
    controller->lines.push_back({});
    controller->undoLastLine();
    EXPECT_EQ(controller->lines.size(), 2u);
    EXPECT_EQ(root().childNodes().size(), 5u);
    controller->undoLastLine();
    EXPECT_EQ(controller->lines.size(), 1u);
    for (const auto& node : second) EXPECT_EQ(node->parentNode(), nullptr);
    for (const auto& node : first) EXPECT_EQ(node->parentNode(), &root());
    controller->draw = true;
    controller->currentLine = file(2);
    controller->lines.pop_back();
    controller->undoLastLine();
    EXPECT_TRUE(controller->lines.empty());
    EXPECT_TRUE(controller->draw);
    EXPECT_EQ(root().childNodes().size(), 2u) << "the stroke being drawn stays";
    controller->undoLastLine();  // one more changes nothing
    EXPECT_TRUE(controller->lines.empty());
    EXPECT_EQ(controller->currentLine.size(), 2u);
}

// Clearing asks first: cancelled, everything stays as it was; confirmed,
// every filed node goes (not the stroke being drawn) and the file name with
// them, also when there is nothing to clear.
TEST_F(UndoAndClear, OnlyAConfirmedClearRemovesTheFiledStrokesAndTheFileName) {
    file(2);
    file(1);
    auto unfiled = scene::Node::make();
    root().addChildNode(unfiled);
    controller->currentLine = {unfiled};
    controller->fileName = "kept";
    auto choose = [&](std::size_t action) {
        controller->confirmClear();
        auto alert = presentedAlert();
        ASSERT_NE(alert, nullptr);
        alert->choose(alert->actions().at(action));
        EXPECT_EQ(controller->presentedViewController(), nullptr);
    };
    choose(1);
    EXPECT_EQ(controller->lines.size(), 2u);
    EXPECT_EQ(root().childNodes().size(), 4u);
    EXPECT_EQ(controller->fileName, "kept");
    choose(0);
    EXPECT_TRUE(controller->lines.empty());
    EXPECT_EQ(controller->fileName, std::nullopt);
    ASSERT_EQ(root().childNodes().size(), 1u);
    EXPECT_EQ(root().childNodes().front(), unfiled);
    controller->fileName = "again";
    choose(0);
    EXPECT_EQ(controller->fileName, std::nullopt);
}

}  // namespace
