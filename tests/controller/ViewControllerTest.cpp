#include <gtest/gtest.h>

#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "support/Fixtures.h"

namespace {

using scrawlet::ViewController;

void expectDefaults(const ViewController& c) {
    EXPECT_EQ(c.sceneView, nullptr);
    EXPECT_EQ(c.pics, scrawlet::emojiTable());
    EXPECT_EQ(c.pic, "");
    EXPECT_EQ(c.distance, 1.0f);
    EXPECT_EQ(c.fileName, std::nullopt);
    EXPECT_TRUE(c.currentLine.empty());
    EXPECT_TRUE(c.lines.empty());
    EXPECT_EQ(c.buttonSize, 60.0);
    EXPECT_EQ(c.hud, nullptr);
    EXPECT_EQ(c.textLabel, nullptr);
    EXPECT_EQ(c.menuButton, nullptr);
    EXPECT_EQ(c.deleteImage, nullptr);
    EXPECT_FALSE(c.draw);
    EXPECT_EQ(c.welcomeText, "Let's Scrawlet!");
    EXPECT_EQ(c.cameraText, "Take Photo\u2026");
    EXPECT_EQ(c.photoText, "Add Photo\u2026");
    EXPECT_EQ(c.loadText, "Load Scrawlet");
    EXPECT_EQ(c.saveText, "Save Scrawlet");
    EXPECT_EQ(c.shareText, "Share as Picture\u2026");
    EXPECT_EQ(c.selectText, "Please select:");
    EXPECT_EQ(c.clearText, "Clear Drawing?");
    EXPECT_EQ(c.okText, "OK");
    EXPECT_EQ(c.cancelText, "Cancel");
    EXPECT_EQ(c.savedText, "Scrawlet saved.");
}

TEST(ViewController, BothInitialisersGiveTheSameDefaults) {
    auto fromCoder = std::make_shared<ViewController>(ui::Coder{});
    auto fromCode = std::make_shared<ViewController>(std::nullopt, std::nullopt);
    expectDefaults(*fromCoder);
    expectDefaults(*fromCode);
}

TEST(EmojiTable, HoldsTheSeventyFiveEntriesAsStored) {
    const auto& table = scrawlet::emojiTable();
    ASSERT_EQ(table.size(), 75u);
    EXPECT_EQ(table[0], "\U0001F436");
    EXPECT_EQ(table[8], "\U0001F43B\u200D\u2744\uFE0F");  // the polar bear, joiner included
    EXPECT_EQ(table[33], "\u2744\uFE0F");
    EXPECT_EQ(table[36], "\U0001F325\uFE0F");
    EXPECT_EQ(table[68], "\U0001F3DD");  // no variation selector
    EXPECT_EQ(table[74], "\U0001F3C9");
    // Three emoji are listed twice, and only those.
    EXPECT_EQ(table[16], table[24]);
    EXPECT_EQ(table[23], table[27]);
    EXPECT_EQ(table[37], table[47]);
    std::set<std::string> distinct(table.begin(), table.end());
    EXPECT_EQ(distinct.size(), 72u);
}

TEST(ViewController, AnswersThePlatformsQueries) {
    auto c = std::make_shared<ViewController>(ui::Coder{});
    EXPECT_TRUE(c->prefersStatusBarHidden());
    EXPECT_TRUE(c->prefersHomeIndicatorAutoHidden());
    EXPECT_TRUE(c->becomeFirstResponder());
}

class SessionLifeCycle : public testing::Test {
protected:
    void SetUp() override {
        controller = std::make_shared<ViewController>(ui::Coder{});
        controller->setSceneView(std::make_shared<ui::SceneView>());
    }
    const ar::Session& session() const { return controller->sceneView->session(); }
    ar::FrameSemantics semantics() const {
        return static_cast<const ar::WorldTrackingConfiguration&>(*session().configuration())
            .frameSemantics();
    }
    std::shared_ptr<ViewController> controller;
};

TEST_F(SessionLifeCycle, AppearingRunsPlainWorldTrackingWithoutSegmentationSupport) {
    controller->viewWillAppear(false);
    EXPECT_TRUE(session().isRunning());
    EXPECT_EQ(semantics(), ar::FrameSemantics::none);
    EXPECT_EQ(session().lastRunOptions(), ar::RunOptions::none);
}

TEST_F(SessionLifeCycle, AppearingAddsSegmentationWithDepthWhereSupported) {
    ui::LaunchScope segmenting(
        testsupport::changed([](auto& d) { d.personSegmentationWithDepth = true; }));
    controller->viewWillAppear(false);
    EXPECT_EQ(semantics(), ar::FrameSemantics::personSegmentationWithDepth);
}

TEST_F(SessionLifeCycle, DisappearingPausesAndReappearingRunsAFreshConfigurationWithoutReset) {
    controller->viewWillAppear(false);
    auto first = session().configuration();
    controller->sceneView->session().deliverFrame(scene::Matrix4::identity());
    controller->viewWillDisappear(false);
    EXPECT_FALSE(session().isRunning());
    controller->viewWillAppear(false);
    EXPECT_TRUE(session().isRunning());
    EXPECT_EQ(session().runCount(), 2);
    EXPECT_EQ(session().pauseCount(), 1);
    EXPECT_NE(session().configuration(), first);
    EXPECT_NE(session().currentFrame(), nullptr);
}

}  // namespace
