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

TEST(Alerts, AChosenActionDismissesTheAlertThenRunsItsHandlerOnce) {
    auto root = presenter();
    auto alert = AlertController::alertControllerWithTitle(std::nullopt, "Sure?",
                                                           AlertControllerStyle::alert);
    int runs = 0;
    bool presentedDuringHandler = true;
    auto ok = AlertAction::actionWithTitle("OK", AlertActionStyle::destructive, [&](AlertAction&) {
        ++runs;
        presentedDuringHandler = root->presentedViewController() != nullptr;
    });
    alert->addAction(ok);
    alert->addAction(AlertAction::actionWithTitle("Cancel", AlertActionStyle::cancel, nullptr));
    root->presentViewController(alert, true, nullptr);
    EXPECT_EQ(root->presentedViewController(), alert);
    alert->choose(ok);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(presentedDuringHandler);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    ok->perform();
    EXPECT_EQ(runs, 1);
}

TEST(Alerts, ThePresenterHoldsTheAlertAndItsHandlersUntilDismissed) {
    auto root = presenter();
    std::weak_ptr<AlertController> watched;
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> held = token;
    {
        auto alert = AlertController::alertControllerWithTitle(std::nullopt, "m",
                                                               AlertControllerStyle::alert);
        alert->addAction(AlertAction::actionWithTitle("OK", AlertActionStyle::defaultStyle,
                                                      [token](AlertAction&) {}));
        watched = alert;
        root->presentViewController(alert, true, nullptr);
    }
    token.reset();
    EXPECT_FALSE(watched.expired());
    EXPECT_FALSE(held.expired());
    watched.lock()->choose(watched.lock()->actions().front());
    EXPECT_TRUE(watched.expired());
    EXPECT_TRUE(held.expired());
}

TEST(Alerts, ASecondPresentationFromTheSameControllerIsRefused) {
    auto root = presenter();
    auto first =
        AlertController::alertControllerWithTitle(std::nullopt, "1", AlertControllerStyle::alert);
    auto second =
        AlertController::alertControllerWithTitle(std::nullopt, "2", AlertControllerStyle::alert);
    root->presentViewController(first, true, nullptr);
    root->presentViewController(second, true, nullptr);
    EXPECT_EQ(root->presentedViewController(), first);
    first->dismissViewControllerAnimated(true, nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
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
    auto alert =
        AlertController::alertControllerWithTitle(std::nullopt, "m", AlertControllerStyle::alert);
    alert->addAction(AlertAction::actionWithTitle("Cancel", AlertActionStyle::cancel, nullptr));
    EXPECT_DEATH(
        alert->addAction(AlertAction::actionWithTitle("No", AlertActionStyle::cancel, nullptr)),
        "cancel");
}

TEST(Popovers, ExistOnlyWhereAPadShowsThePopoverStyle) {
    auto sheet = AlertController::alertControllerWithTitle(std::nullopt, "m",
                                                           AlertControllerStyle::actionSheet);
    auto alert =
        AlertController::alertControllerWithTitle(std::nullopt, "m", AlertControllerStyle::alert);
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

TEST(ImagePicker, RefusesAFileThatIsNotAPictureAndStaysOpen) {
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
    EXPECT_EQ(delegate->finished, 0);
    EXPECT_EQ(root->presentedViewController(), picker);
    EXPECT_FALSE(picker->pickFile(folder / "missing.png").ok());
    picker->cancel();
    EXPECT_EQ(delegate->cancelled, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST(ImagePicker, HandsThePickedImageToItsDelegate) {
    auto root = presenter();
    auto delegate = std::make_shared<RecordingDelegate>();
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setDelegate(delegate);
    root->presentViewController(picker, true, nullptr);
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(4, 3));
    picker->pick(image);
    ASSERT_EQ(delegate->finished, 1);
    auto value = delegate->lastInfo.at(ui::imagePickerOriginalImage);
    EXPECT_EQ(std::any_cast<std::shared_ptr<graphics::Image>>(value), image);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST(ImagePicker, TheCameraIsThereOnlyOnDevicesWithOne) {
    EXPECT_FALSE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
    EXPECT_TRUE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::photoLibrary));
    ui::LaunchScope withCamera(testsupport::changed([](auto& d) { d.hasCamera = true; }));
    EXPECT_TRUE(
        ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera));
}

}  // namespace

namespace {

TEST(ShareSheet, SavesThePictureToTheFolderNamedByTheTime) {
    auto root = presenter();
    auto bitmap = std::make_shared<graphics::Bitmap>(3, 2);
    bitmap->setPixel(1, 1, {200, 10, 10, 255});
    auto image = std::make_shared<graphics::Image>(bitmap);
    auto sheet = std::make_shared<ui::ActivityViewController>(
        std::vector<ui::ActivityItem>{std::string("Picture"), image}, std::vector<std::string>{});
    root->presentViewController(sheet, true, nullptr);
    auto folder = testsupport::freshDirectory("pictures") / "Pictures";
    auto first = sheet->saveToPictures(folder);
    ASSERT_TRUE(first.ok()) << first.error();
    EXPECT_EQ(first.value().parent_path(), folder);
    EXPECT_EQ(first.value().extension(), ".png");
    EXPECT_EQ(first.value().filename().string().rfind("Scrawlet ", 0), 0u);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    auto second = sheet->saveToPictures(folder);
    ASSERT_TRUE(second.ok());
    EXPECT_NE(first.value(), second.value()) << "a second picture never replaces the first";
}

TEST(ShareSheet, SayingWhyWhenThePictureCannotBeWritten) {
    auto root = presenter();
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(2, 2));
    auto sheet = std::make_shared<ui::ActivityViewController>(std::vector<ui::ActivityItem>{image},
                                                              std::vector<std::string>{});
    root->presentViewController(sheet, true, nullptr);
    auto folder = testsupport::freshDirectory("not-a-folder");
    std::ofstream(folder / "file") << "x";
    auto saved = sheet->saveToPictures(folder / "file" / "Pictures");
    EXPECT_FALSE(saved.ok());
    EXPECT_EQ(root->presentedViewController(), sheet) << "the sheet stays open";
}

}  // namespace
