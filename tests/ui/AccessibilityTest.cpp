// What a screen reader and the keyboard reach of the drawn screen: the
// HUD's buttons where they are drawn, its text line, and the screen on top
// as a dialog whose choices are pressed by a tap where each is drawn.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/AppDelegate.h"
#include "controller/ViewController.h"
#include "hud/HudLabels.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"
#include "support/Fixtures.h"

namespace {

using scrawlet::ViewController;
using Style = ui::AccessibleChoiceStyle;
using Time = ui::PointerInput::InputTime;

class Mirrored : public testing::Test {
protected:
    void SetUp() override {
        application.launch(ui::currentLaunchDescription());
        application.sceneView()->session().deliverFrame(scene::Matrix4::identity());
    }
    ViewController& controller() {
        return static_cast<ViewController&>(*application.rootViewController());
    }
    ui::AccessibleScreen screen() { return ui::describeAccessible(pointers.describe()); }
    // A finger's tap where the mirror says the element is.
    void tap(const graphics::Rect& frame) {
        pointers.down(1, ui::tapPoint(frame), Time{0});
        pointers.up(1, ui::tapPoint(frame));
    }
    static std::vector<std::string> labels(const ui::AccessibleDialog& dialog) {
        std::vector<std::string> out;
        for (const auto& choice : dialog.choices) out.push_back(choice.label);
        return out;
    }

public:
    ui::Application application{[] { return std::make_unique<scrawlet::AppDelegate>(); }};
    ui::PointerInput pointers{application};
};

// Menu on the left, undo and clear on the right, each as large as its disc
// and centred on it, in the order they are drawn; the text line is the
// label's.
TEST_F(Mirrored, TheRoundButtonsAreWhereTheirDiscsAreDrawn) {
    auto shown = screen();
    const auto& names = scrawlet::hudLabels(ui::TextLanguage::english);
    ASSERT_EQ(shown.buttons.size(), 3u);
    EXPECT_EQ(shown.buttons[0].label, names.menu);
    EXPECT_EQ(shown.buttons[1].label, names.undo);
    EXPECT_EQ(shown.buttons[2].label, names.clear);
    const double height = 844;
    const std::shared_ptr<overlay::ShapeNode> discs[] = {
        controller().menuButton, controller().undoButton, controller().deleteButton};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& frame = shown.buttons[i].frame;
        EXPECT_DOUBLE_EQ(frame.midX(), discs[i]->position().x) << i;
        EXPECT_DOUBLE_EQ(frame.midY(), height - discs[i]->position().y) << i;
        EXPECT_DOUBLE_EQ(frame.width(), 2 * discs[i]->radius()) << i;
    }
    EXPECT_LT(shown.buttons[0].frame.midX(), shown.buttons[1].frame.midX());
    EXPECT_LT(shown.buttons[1].frame.midX(), shown.buttons[2].frame.midX());
    EXPECT_EQ(shown.liveText, controller().welcomeText);
    EXPECT_FALSE(shown.dialog);
}

// The text line follows what the label says; a button drawn fully
// transparent is not there to press.
TEST_F(Mirrored, FollowsTheLabelAndLeavesOutWhatIsNotDrawn) {
    controller().textLabel->setText(controller().savedText);
    controller().undoButton->setAlpha(0);
    auto shown = screen();
    EXPECT_EQ(shown.liveText, controller().savedText);
    ASSERT_EQ(shown.buttons.size(), 2u);
    EXPECT_EQ(shown.buttons[1].label, scrawlet::hudLabels(ui::TextLanguage::english).clear);
}

// A tap where the menu button is mirrored opens the menu, which is mirrored
// as a dialog with the sheet's actions in order, without the tap beside it;
// a tap on its Cancel puts it away.
TEST_F(Mirrored, TheMenuIsADialogOfItsActions) {
    tap(screen().buttons[0].frame);
    auto shown = screen();
    ASSERT_TRUE(shown.dialog);
    EXPECT_EQ(shown.dialog->kind, ui::AccessibleDialogKind::actionSheet);
    EXPECT_EQ(shown.dialog->title, controller().selectText);
    EXPECT_FALSE(shown.dialog->message);
    auto& c = controller();
    EXPECT_EQ(labels(*shown.dialog),
              (std::vector<std::string>{c.photoText, c.cameraText, c.loadText, c.saveText,
                                        c.shareText, c.cancelText}));
    EXPECT_EQ(shown.dialog->choices.back().style, Style::cancel);
    for (const auto& choice : shown.dialog->choices) EXPECT_FALSE(choice.isDefault);
    tap(shown.dialog->choices.back().frame);
    EXPECT_EQ(ui::topPresented(application), nullptr);
    EXPECT_FALSE(screen().dialog);
}

// The clear alert: an alert named by its message, whose default (what
// Enter chooses) destroys nothing; OK, drawn red, is destructive.
TEST_F(Mirrored, TheClearAlertMarksItsDestructiveAndItsDefaultChoice) {
    tap(screen().buttons[2].frame);
    auto shown = screen();
    ASSERT_TRUE(shown.dialog);
    EXPECT_EQ(shown.dialog->kind, ui::AccessibleDialogKind::alert);
    EXPECT_EQ(shown.dialog->title, controller().clearText);
    ASSERT_EQ(shown.dialog->choices.size(), 2u);
    std::size_t defaults = 0;
    for (const auto& choice : shown.dialog->choices) {
        if (choice.label == controller().okText) {
            EXPECT_EQ(choice.style, Style::destructive);
        }
        if (choice.isDefault) {
            ++defaults;
            EXPECT_NE(choice.style, Style::destructive);
        }
    }
    EXPECT_EQ(defaults, 1u);
}

// An alert with a title is named by it and described by its message.
TEST_F(Mirrored, AnAlertWithATitleIsNamedByIt) {
    application.rootViewController()->presentViewController(
        testsupport::alertWith(ui::AlertControllerStyle::alert, "the file is damaged",
                               {{"OK", ui::AlertActionStyle::defaultStyle}}, "Not loaded"),
        false, nullptr);
    auto shown = screen();
    ASSERT_TRUE(shown.dialog);
    EXPECT_EQ(shown.dialog->title, "Not loaded");
    EXPECT_EQ(shown.dialog->message, "the file is damaged");
    ASSERT_EQ(shown.dialog->choices.size(), 1u);
    EXPECT_TRUE(shown.dialog->choices[0].isDefault);
}

// The picker: named "Photos", its Cancel and each thumbnail by its file's
// name, in the layout's reading order; the camera's by its shutter.
TEST_F(Mirrored, ThePickerNamesItsPhotos) {
    auto folder = std::filesystem::temp_directory_path() / "scrawlet-accessible-XXXXXX";
    std::string pattern = folder.string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    // A PNG's signature is all the picker looks at before drawing it.
    std::ofstream(folder / "beach.png") << "\x89PNG\r\n\x1a\n";
    std::ofstream(folder / "notes.txt") << "not a picture";
    {
        testsupport::PlatformScope library(
            testsupport::changed([&](auto& description) { description.photoLibrary = folder; }));
        auto picker = std::make_shared<ui::ImagePickerController>();
        application.rootViewController()->presentViewController(picker, false, nullptr);
        auto shown = screen();
        ASSERT_TRUE(shown.dialog);
        EXPECT_EQ(shown.dialog->kind, ui::AccessibleDialogKind::imagePicker);
        EXPECT_EQ(shown.dialog->title, "Photos");
        EXPECT_EQ(labels(*shown.dialog), (std::vector<std::string>{"Cancel", "beach.png"}));
        EXPECT_EQ(shown.dialog->choices[0].style, Style::cancel);

        application.rootViewController()->dismissViewControllerAnimated(false, nullptr);

        auto camera = std::make_shared<ui::ImagePickerController>();
        camera->setSourceType(ui::ImagePickerSourceType::camera);
        application.rootViewController()->presentViewController(camera, false, nullptr);
        shown = screen();
        ASSERT_TRUE(shown.dialog);
        EXPECT_EQ(shown.dialog->title, "Camera");
        EXPECT_EQ(labels(*shown.dialog), (std::vector<std::string>{"Take Picture", "Cancel"}));
        application.rootViewController()->dismissViewControllerAnimated(false, nullptr);
    }
    std::filesystem::remove_all(folder);
}

// The share sheet: named "Share", described by its caption, with Save to
// Pictures and Cancel.
TEST_F(Mirrored, TheShareSheetIsNamedAndDescribedByItsCaption) {
    auto picture = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(4, 4));
    auto share = std::make_shared<ui::ActivityViewController>(
        std::vector<ui::ActivityItem>{std::string("Picture"), picture}, std::vector<std::string>{});
    application.rootViewController()->presentViewController(share, false, nullptr);
    auto shown = screen();
    ASSERT_TRUE(shown.dialog);
    EXPECT_EQ(shown.dialog->kind, ui::AccessibleDialogKind::share);
    EXPECT_EQ(shown.dialog->title, "Share");
    EXPECT_EQ(shown.dialog->message, "Picture");
    EXPECT_EQ(labels(*shown.dialog), (std::vector<std::string>{"Save to Pictures", "Cancel"}));
    tap(shown.dialog->choices[1].frame);
    EXPECT_FALSE(screen().dialog);
}

// Each language names the buttons in its own words.
TEST(HudLabels, AreInEachLanguage) {
    const auto& english = scrawlet::hudLabels(ui::TextLanguage::english);
    const auto& simplified = scrawlet::hudLabels(ui::TextLanguage::simplifiedChinese);
    const auto& traditional = scrawlet::hudLabels(ui::TextLanguage::traditionalChinese);
    EXPECT_EQ(english.menu, "Menu");
    EXPECT_EQ(simplified.menu, "菜单");
    EXPECT_EQ(traditional.menu, "選單");
    EXPECT_NE(simplified.undo, traditional.undo);
}

}  // namespace
