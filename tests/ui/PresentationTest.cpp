// Presenting and answering the framework's screens: alerts and their
// actions, Enter and Esc, popovers on a pad, the image picker and the share
// sheet.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/ui/Device.h"
#include "platform/ui/Presentation.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using ui::AlertAction;
using ui::AlertActionStyle;
using ui::AlertController;
using ui::AlertControllerStyle;

std::shared_ptr<ui::ViewController> presenter() {
    return std::make_shared<ui::ViewController>(std::nullopt, std::nullopt);
}

// The presenter holds a presented alert and its handlers, and refuses a
// second presentation; a chosen action dismisses the alert, then runs its
// handler, once, and the presenter lets both go.
TEST(Alerts, AChosenActionDismissesTheAlertThenRunsItsHandlerOnce) {
    auto root = presenter();
    std::weak_ptr<AlertController> watched;
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> held = token;
    int runs = 0;
    bool presentedDuringHandler = true;
    {
        auto alert = testsupport::alertWith(AlertControllerStyle::alert, "Sure?",
                                            {{"Cancel", AlertActionStyle::cancel}});
        alert->addAction(AlertAction::actionWithTitle(
            "OK", AlertActionStyle::destructive, [&, token](AlertAction&) {
                ++runs;
                presentedDuringHandler = root->presentedViewController() != nullptr;
            }));
        watched = alert;
        root->presentViewController(alert, true, nullptr);
        root->presentViewController(testsupport::alertWith(AlertControllerStyle::alert, "2", {}),
                                    true, nullptr);
        EXPECT_EQ(root->presentedViewController(), alert);
    }
    token.reset();
    ASSERT_FALSE(watched.expired());
    EXPECT_FALSE(held.expired());
    auto ok = watched.lock()->actions().back();
    watched.lock()->choose(ok);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(presentedDuringHandler);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(watched.expired());
    ok->perform();
    EXPECT_EQ(runs, 1);
    ok.reset();
    EXPECT_TRUE(held.expired());
}

// Enter chooses the bold action and never a destructive one; Esc the
// cancel action.
TEST(Alerts, EnterAndEscapeFindTheDefaultAndCancelActions) {
    using Style = AlertActionStyle;
    struct Case {
        const char* what;
        AlertControllerStyle kind;
        std::vector<Style> actions;
        std::optional<std::size_t> preferred;
        std::optional<std::size_t> enter;
        std::optional<std::size_t> escape;
    };
    const auto alert = AlertControllerStyle::alert;
    const Case cases[] = {
        {"a red OK beside Cancel", alert, {Style::destructive, Style::cancel}, {}, 1, 1},
        {"a lone OK that cancels", alert, {Style::cancel}, {}, 0, 0},
        {"a lone plain OK", alert, {Style::defaultStyle}, {}, 0, {}},
        {"a lone destructive action", alert, {Style::destructive}, {}, {}, {}},
        {"a destructive preferred action", alert, {Style::destructive, Style::cancel}, 0, 1, 1},
        {"a plain preferred action", alert, {Style::defaultStyle, Style::cancel}, 0, 0, 1},
        {"two plain actions", alert, {Style::defaultStyle, Style::defaultStyle}, {}, {}, {}},
        {"a sheet",
         AlertControllerStyle::actionSheet,
         {Style::defaultStyle, Style::cancel},
         {},
         {},
         1},
    };
    for (const auto& c : cases) {
        auto controller = AlertController::alertControllerWithTitle(std::nullopt, "m", c.kind);
        for (auto style : c.actions)
            controller->addAction(AlertAction::actionWithTitle("a", style, nullptr));
        if (c.preferred) controller->setPreferredAction(controller->actions()[*c.preferred]);
        auto expected = [&](std::optional<std::size_t> index) {
            return index ? controller->actions()[*index] : nullptr;
        };
        EXPECT_EQ(controller->defaultAction(), expected(c.enter)) << c.what;
        EXPECT_EQ(controller->cancelAction(), expected(c.escape)) << c.what;
    }
}

TEST(AlertsDeathTest, OnlyOneCancelAction) {
    auto alert = testsupport::alertWith(AlertControllerStyle::alert, "m",
                                        {{"Cancel", AlertActionStyle::cancel}});
    EXPECT_DEATH(
        alert->addAction(AlertAction::actionWithTitle("No", AlertActionStyle::cancel, nullptr)),
        "cancel");
}

TEST(Popovers, ExistOnlyWhereAPadShowsThePopoverStyle) {
    auto sheet = testsupport::alertWith(AlertControllerStyle::actionSheet, "m", {});
    auto alert = testsupport::alertWith(AlertControllerStyle::alert, "m", {});
    auto picker = std::make_shared<ui::ImagePickerController>();
    EXPECT_EQ(sheet->popoverPresentationController(), nullptr);
    testsupport::PadDevice pad;
    EXPECT_NE(sheet->popoverPresentationController(), nullptr);
    EXPECT_EQ(alert->popoverPresentationController(), nullptr);
    EXPECT_EQ(picker->popoverPresentationController(), nullptr);
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::popover);
    EXPECT_NE(picker->popoverPresentationController(), nullptr);
}

class RecordingDelegate : public ui::ImagePickerControllerDelegate {
public:
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        ui::ImagePickerController& picker, const ui::ImagePickerInfo& info) override {
        ++finished;
        lastInfo = info;
        picker.dismissViewControllerAnimated(true, nullptr);
    }
    void imagePickerControllerDidCancel(ui::ImagePickerController& picker) override {
        ++cancelled;
        picker.dismissViewControllerAnimated(true, nullptr);
    }
    int finished = 0;
    int cancelled = 0;
    ui::ImagePickerInfo lastInfo;
};

// A file that is no picture is refused and the picker stays open; a
// picture goes to the delegate; Cancel tells the delegate so.
TEST(ImagePicker, HandsOnlyPicturesToItsDelegate) {
    auto root = presenter();
    auto delegate = std::make_shared<RecordingDelegate>();
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setDelegate(delegate);
    root->presentViewController(picker, true, nullptr);
    auto folder = testsupport::freshDirectory("picker");
    std::ofstream(folder / "notes.jpg") << "these are words, not a picture\n";
    auto picked = picker->pickFile(folder / "notes.jpg");
    ASSERT_FALSE(picked.ok());
    EXPECT_NE(picked.error().find("notes.jpg"), std::string::npos) << picked.error();
    EXPECT_FALSE(picker->pickFile(folder / "missing.png").ok());
    EXPECT_EQ(delegate->finished, 0);
    EXPECT_EQ(root->presentedViewController(), picker);

    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(4, 3));
    picker->pick(image);
    ASSERT_EQ(delegate->finished, 1);
    auto value = delegate->lastInfo.at(ui::imagePickerOriginalImage);
    EXPECT_EQ(std::any_cast<std::shared_ptr<graphics::Image>>(value), image);
    EXPECT_EQ(root->presentedViewController(), nullptr);

    root->presentViewController(picker, true, nullptr);
    picker->cancel();
    EXPECT_EQ(delegate->cancelled, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST(ImagePicker, TheCameraIsThereOnlyOnDevicesWithOne) {
    EXPECT_FALSE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
    EXPECT_TRUE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::photoLibrary));
    testsupport::PlatformScope withCamera(
        testsupport::changed([](auto& d) { d.hasCamera = true; }));
    EXPECT_TRUE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
    // A browser learns of its cameras after launch, and again as they come
    // and go.
    withCamera.environment().setHasCamera(false);
    EXPECT_FALSE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
    withCamera.environment().setHasCamera(true);
    EXPECT_TRUE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
}

// The share sheet saves its picture under a new name each time, named by
// the time; when it cannot, it says why and stays open.
TEST(ShareSheet, SavesThePictureToTheFolderNamedByTheTime) {
    auto root = presenter();
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(3, 2));
    auto sheet = testsupport::shareSheet(image);
    root->presentViewController(sheet, true, nullptr);
    auto folder = testsupport::freshDirectory("pictures");
    std::ofstream(folder / "file") << "x";
    auto refused = sheet->saveToPictures(folder / "file" / "Pictures");
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("file"), std::string::npos) << refused.error();
    EXPECT_EQ(root->presentedViewController(), sheet) << "the sheet stays open";

    auto first = sheet->saveToPictures(folder / "Pictures");
    ASSERT_TRUE(first.ok()) << first.error();
    EXPECT_EQ(first.value().parent_path(), folder / "Pictures");
    EXPECT_EQ(first.value().extension(), ".png");
    EXPECT_EQ(first.value().filename().string().rfind("Scrawlet ", 0), 0u);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    auto second = sheet->saveToPictures(folder / "Pictures");
    ASSERT_TRUE(second.ok());
    EXPECT_NE(first.value(), second.value()) << "a second picture never replaces the first";
}

}  // namespace
