// The controller as it starts: its defaults from either initialiser, the
// emoji it picks from, and what it answers the platform. (Its session's
// life: the life-cycle script.)
#include <gtest/gtest.h>

#include <set>

#include "controller/ViewController.h"

namespace {

using scrawlet::ViewController;

TEST(ViewController, BothInitialisersGiveTheSameDefaults) {
    for (const auto& c : {std::make_shared<ViewController>(ui::Coder{}),
                          std::make_shared<ViewController>(std::nullopt, std::nullopt)}) {
        EXPECT_EQ(c->sceneView, nullptr);
        EXPECT_EQ(c->pics, scrawlet::emojiTable());
        EXPECT_EQ(c->pic, "");
        EXPECT_EQ(c->distance, 1.0f);
        EXPECT_EQ(c->fileName, std::nullopt);
        EXPECT_TRUE(c->currentLine.empty() && c->lines.empty());
        EXPECT_EQ(c->buttonSize, 60.0);
        EXPECT_TRUE(!c->hud && !c->textLabel && !c->menuButton && !c->deleteImage);
        EXPECT_FALSE(c->draw);
        EXPECT_EQ(c->welcomeText, "Let's Scrawlet!");
        EXPECT_TRUE(c->prefersStatusBarHidden());
        EXPECT_TRUE(c->prefersHomeIndicatorAutoHidden());
        EXPECT_TRUE(c->becomeFirstResponder());
    }
}

// Seventy-five entries, three of them twice (and so twice as likely), the
// polar bear whole with its joiner.
TEST(EmojiTable, HoldsSeventyFiveEntriesThreeOfThemTwice) {
    const auto& table = scrawlet::emojiTable();
    ASSERT_EQ(table.size(), 75u);
    EXPECT_EQ(table[8], "\U0001F43B\u200D\u2744\uFE0F");
    EXPECT_EQ(table[16], table[24]);
    EXPECT_EQ(table[23], table[27]);
    EXPECT_EQ(table[37], table[47]);
    EXPECT_EQ(std::set<std::string>(table.begin(), table.end()).size(), 72u);
}

}  // namespace
