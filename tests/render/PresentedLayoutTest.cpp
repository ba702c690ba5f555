// Where the presented panels sit: one click target for each action, the
// phone's sheet along the bottom with Cancel apart, a pad's popover beside
// its source with an arrow in a permitted direction, alerts in the middle,
// the picker's thumbnails in file-name order, the share sheet's buttons.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Files.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/PhotoLibrary.h"
#include "platform/ui/PresentedLayout.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using ui::PresentedTargetRole;

double right(const graphics::Rect& r) { return r.origin.x + r.width(); }
double bottom(const graphics::Rect& r) { return r.origin.y + r.height(); }
graphics::Point middle(const graphics::Rect& r) {
    return {r.origin.x + r.width() / 2, r.origin.y + r.height() / 2};
}
bool overlap(const graphics::Rect& a, const graphics::Rect& b) {
    return a.origin.x < right(b) && b.origin.x < right(a) && a.origin.y < bottom(b) &&
           b.origin.y < bottom(a);
}

ui::PresentedEnvironment phone(double bottomInset = 0) {
    ui::PresentedEnvironment environment;
    environment.screenSize = {390, 844};
    environment.safeAreaInsets.bottom = bottomInset;
    environment.photoLibrary = ui::currentLaunchDescription().photoLibrary;
    return environment;
}

using testsupport::PadDevice;

ui::PresentedEnvironment pad() {
    ui::PresentedEnvironment environment;
    environment.screenSize = {820, 1180};
    environment.idiom = ui::UserInterfaceIdiom::pad;
    environment.photoLibrary = ui::currentLaunchDescription().photoLibrary;
    return environment;
}

// The main menu as the program builds it.
std::shared_ptr<ui::AlertController> menu() {
    auto sheet = ui::AlertController::alertControllerWithTitle(
        std::nullopt, "Please select:", ui::AlertControllerStyle::actionSheet);
    for (auto [title, style] : {std::pair{"Add Photo…", ui::AlertActionStyle::defaultStyle},
                                std::pair{"Take Photo…", ui::AlertActionStyle::defaultStyle},
                                std::pair{"Load Scrawlet", ui::AlertActionStyle::destructive},
                                std::pair{"Save Scrawlet", ui::AlertActionStyle::defaultStyle},
                                std::pair{"Share as Picture…", ui::AlertActionStyle::defaultStyle}})
        sheet->addAction(ui::AlertAction::actionWithTitle(title, style, nullptr));
    return sheet;
}

void addCancel(ui::AlertController& alert) {
    alert.addAction(
        ui::AlertAction::actionWithTitle("Cancel", ui::AlertActionStyle::cancel, nullptr));
}

std::vector<const ui::PresentedTarget*> withRole(const ui::PresentedLayout& layout,
                                                 PresentedTargetRole role) {
    std::vector<const ui::PresentedTarget*> found;
    for (const auto& target : layout.targets)
        if (target.role == role) found.push_back(&target);
    return found;
}

const ui::PresentedText* textOf(const ui::PresentedLayout& layout, const std::string& text) {
    for (const auto& shape : layout.shapes)
        if (auto* t = std::get_if<ui::PresentedText>(&shape); t && t->text == text) return t;
    return nullptr;
}

TEST(PhoneActionSheets, GiveEachActionOneTargetInOrderDownTheScreen) {
    auto sheet = menu();
    addCancel(*sheet);
    auto layout = ui::layoutPresented(*sheet, phone());
    auto actions = withRole(layout, PresentedTargetRole::action);
    ASSERT_EQ(actions.size(), 6u);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->actionIndex, i);
        if (i > 0) {
            EXPECT_GE(actions[i]->rect.origin.y, bottom(actions[i - 1]->rect) - 1e-9);
        }
        EXPECT_DOUBLE_EQ(middle(actions[i]->rect).x, 195);
        auto hit = layout.targetAt(middle(actions[i]->rect));
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->actionIndex, i);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(overlap(actions[i]->rect, actions[j]->rect));
    }
    EXPECT_EQ(layout.arrowDirection, std::nullopt);
}

TEST(PhoneActionSheets, PutCancelApartAtTheBottomAboveTheInset) {
    for (double inset : {0.0, 34.0}) {
        auto sheet = menu();
        addCancel(*sheet);
        auto layout = ui::layoutPresented(*sheet, phone(inset));
        auto actions = withRole(layout, PresentedTargetRole::action);
        ASSERT_EQ(actions.size(), 6u);
        const auto& cancel = actions.back()->rect;
        EXPECT_DOUBLE_EQ(bottom(cancel), 844 - std::max(inset, 8.0));
        EXPECT_GE(cancel.origin.y - bottom(actions[4]->rect), 8);
        EXPECT_LE(bottom(layout.panel), cancel.origin.y);
    }
}

TEST(PhoneActionSheets, FitAPhoneHeldSidewaysWithShorterRows) {
    auto sheet = menu();
    addCancel(*sheet);
    ui::PresentedEnvironment environment;
    environment.screenSize = {844, 390};
    auto layout = ui::layoutPresented(*sheet, environment);
    auto actions = withRole(layout, PresentedTargetRole::action);
    ASSERT_EQ(actions.size(), 6u);
    EXPECT_GE(layout.panel.origin.y, 8);
    for (const auto* action : actions) {
        EXPECT_GE(action->rect.height(), 40);
        EXPECT_LT(action->rect.height(), 57);
        EXPECT_LE(bottom(action->rect), 390 - 8);
    }
}

TEST(PhoneActionSheets, CancelWhenTheDimmedScreenIsClicked) {
    auto sheet = menu();
    addCancel(*sheet);
    auto layout = ui::layoutPresented(*sheet, phone());
    auto hit = layout.targetAt({195, 100});
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->role, PresentedTargetRole::outside);
    EXPECT_EQ(hit->actionIndex, 5u);
}

TEST(PhoneActionSheets, ShowDestructiveActionsInRedAndCancelInBold) {
    auto sheet = menu();
    addCancel(*sheet);
    auto layout = ui::layoutPresented(*sheet, phone());
    auto load = textOf(layout, "Load Scrawlet");
    auto save = textOf(layout, "Save Scrawlet");
    auto cancel = textOf(layout, "Cancel");
    ASSERT_TRUE(load && save && cancel);
    EXPECT_GT(load->color.red, 0.9);
    EXPECT_LT(save->color.red, 0.1);
    EXPECT_NE(cancel->font.name.find("Bold"), std::string::npos);
    EXPECT_EQ(save->font.name.find("Bold"), std::string::npos);
    ASSERT_TRUE(textOf(layout, "Please select:"));
}

TEST(PadPopovers, PointAtTheirSourceWithAPermittedArrow) {
    PadDevice device;
    ui::View source;
    auto sheet = menu();
    auto* popover = sheet->popoverPresentationController();
    ASSERT_NE(popover, nullptr);
    popover->setSourceView(&source);
    popover->setSourceRect({{0, 1120}, {60, 60}});
    popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
    addCancel(*sheet);
    auto layout = ui::layoutPresented(*sheet, pad());

    EXPECT_EQ(layout.arrowDirection, ui::PopoverArrowDirection::down);
    EXPECT_DOUBLE_EQ(bottom(layout.panel), 1120 - 13);
    EXPECT_GE(layout.panel.origin.x, 10);
    const ui::PresentedArrow* arrow = nullptr;
    for (const auto& shape : layout.shapes)
        if (auto* a = std::get_if<ui::PresentedArrow>(&shape)) arrow = a;
    ASSERT_NE(arrow, nullptr);
    EXPECT_DOUBLE_EQ(arrow->tip.y, 1120);
    EXPECT_GE(arrow->tip.x, 0);
    EXPECT_LE(arrow->tip.x, 60);
    // No Cancel row: a click outside the popover cancels.
    auto actions = withRole(layout, PresentedTargetRole::action);
    EXPECT_EQ(actions.size(), 5u);
    for (const auto* action : actions) EXPECT_FALSE(overlap(action->rect, {{0, 1120}, {60, 60}}));
    ASSERT_FALSE(layout.targets.empty());
    EXPECT_EQ(layout.targets.back().role, PresentedTargetRole::outside);
    EXPECT_EQ(layout.targets.back().actionIndex, 5u);
    auto hit = layout.targetAt({700, 100});
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->role, PresentedTargetRole::outside);
}

TEST(PadPopovers, GoBelowASourceThatOnlyPermitsAnUpArrow) {
    PadDevice device;
    ui::View source;
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::popover);
    auto* popover = picker->popoverPresentationController();
    ASSERT_NE(popover, nullptr);
    popover->setSourceView(&source);
    popover->setSourceRect({{30, 0}, {40, 40}});
    popover->setPermittedArrowDirections(ui::PopoverArrowDirection::up);
    auto layout = ui::layoutPresented(*picker, pad());
    EXPECT_EQ(layout.arrowDirection, ui::PopoverArrowDirection::up);
    EXPECT_DOUBLE_EQ(layout.panel.origin.y, 40 + 13);
    EXPECT_LE(bottom(layout.panel), 1180 - 10);
}

TEST(Alerts, SitInTheMiddleWithCancelBesideTheConfirmingAction) {
    auto alert = ui::AlertController::alertControllerWithTitle(std::nullopt, "Clear Drawing?",
                                                               ui::AlertControllerStyle::alert);
    alert->addAction(
        ui::AlertAction::actionWithTitle("OK", ui::AlertActionStyle::destructive, nullptr));
    addCancel(*alert);
    auto layout = ui::layoutPresented(*alert, phone());
    EXPECT_NEAR(middle(layout.panel).x, 195, 1e-9);
    EXPECT_NEAR(middle(layout.panel).y, 422, 1e-9);
    auto actions = withRole(layout, PresentedTargetRole::action);
    ASSERT_EQ(actions.size(), 2u);
    // One row: Cancel on the left, the confirming action on the right.
    EXPECT_EQ(actions[0]->actionIndex, 1u);
    EXPECT_EQ(actions[1]->actionIndex, 0u);
    EXPECT_DOUBLE_EQ(actions[0]->rect.origin.y, actions[1]->rect.origin.y);
    EXPECT_LT(actions[0]->rect.origin.x, actions[1]->rect.origin.x);
    EXPECT_GT(textOf(layout, "OK")->color.red, 0.9);
    EXPECT_NE(textOf(layout, "Cancel")->font.name.find("Bold"), std::string::npos);
    // An alert is modal: a click beside it does nothing.
    EXPECT_EQ(layout.targetAt({20, 20}), nullptr);
}

TEST(Alerts, StackThreeActionsWithCancelLast) {
    auto alert = ui::AlertController::alertControllerWithTitle("Title", "A message",
                                                               ui::AlertControllerStyle::alert);
    alert->addAction(
        ui::AlertAction::actionWithTitle("One", ui::AlertActionStyle::defaultStyle, nullptr));
    addCancel(*alert);
    alert->addAction(
        ui::AlertAction::actionWithTitle("Two", ui::AlertActionStyle::defaultStyle, nullptr));
    auto layout = ui::layoutPresented(*alert, phone());
    auto actions = withRole(layout, PresentedTargetRole::action);
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0]->actionIndex, 0u);
    EXPECT_EQ(actions[1]->actionIndex, 2u);
    EXPECT_EQ(actions[2]->actionIndex, 1u);
    for (std::size_t i = 1; i < 3; ++i)
        EXPECT_DOUBLE_EQ(actions[i]->rect.origin.y, bottom(actions[i - 1]->rect));
    ASSERT_TRUE(textOf(layout, "Title") && textOf(layout, "A message"));
}

// A photo library holding `names`, each a small PNG picture.
std::filesystem::path library(const std::string& folderName,
                              const std::vector<std::string>& names) {
    auto folder = testsupport::freshDirectory(folderName);
    graphics::Bitmap pixel(2, 2);
    auto png = graphics::backend().encodePng(pixel);
    EXPECT_TRUE(png);
    for (const auto& name : names) {
        auto written = platform::writeFileAtomically(folder / name, png.value());
        EXPECT_TRUE(written);
    }
    return folder;
}

// The photo library shows `folder` while this lives.
class LibraryFolder {
public:
    explicit LibraryFolder(std::filesystem::path folder)
        : scope_(testsupport::changed([&](auto& d) { d.photoLibrary = folder; })) {}

private:
    ui::LaunchScope scope_;
};

TEST(ImagePickers, ListTheLibrarysPicturesByName) {
    LibraryFolder folder(library("picker-order", {"c.png", "a.PNG", "b.jpg", "notes.txt"}));
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto layout = ui::layoutPresented(*picker, phone());
    auto picks = withRole(layout, PresentedTargetRole::pickFile);
    ASSERT_EQ(picks.size(), 3u);
    EXPECT_EQ(picks[0]->file.filename(), "a.PNG");
    EXPECT_EQ(picks[1]->file.filename(), "b.jpg");
    EXPECT_EQ(picks[2]->file.filename(), "c.png");
    // Each thumbnail is drawn where its target is.
    std::size_t thumbnails = 0;
    for (const auto& shape : layout.shapes)
        if (auto* thumbnail = std::get_if<ui::PresentedThumbnail>(&shape)) {
            EXPECT_EQ(thumbnail->rect, picks[thumbnails]->rect);
            EXPECT_EQ(thumbnail->file, picks[thumbnails]->file);
            ++thumbnails;
        }
    EXPECT_EQ(thumbnails, 3u);
    auto cancel = withRole(layout, PresentedTargetRole::cancelPicker);
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_LT(cancel[0]->rect.origin.y, picks[0]->rect.origin.y);
}

TEST(ImagePickers, ScrollByWholeRowsWithinTheLibrary) {
    std::vector<std::string> names;
    for (int i = 0; i < 90; ++i) names.push_back("photo" + std::to_string(100 + i) + ".png");
    LibraryFolder folder(library("picker-scroll", names));
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto environment = phone();
    auto top = ui::layoutPresented(*picker, environment);
    EXPECT_EQ(top.pickerRowCount, 23u);
    ASSERT_GT(top.pickerVisibleRows, 0u);
    ASSERT_LT(top.pickerVisibleRows, top.pickerRowCount);
    environment.pickerFirstRow = 1000;
    auto end = ui::layoutPresented(*picker, environment);
    auto picks = withRole(end, PresentedTargetRole::pickFile);
    ASSERT_FALSE(picks.empty());
    std::size_t firstShown = (top.pickerRowCount - top.pickerVisibleRows) * 4;
    EXPECT_EQ(picks.front()->file.filename(), names[firstShown]);
    EXPECT_EQ(picks.back()->file.filename(), names.back());
    for (const auto* pick : picks) EXPECT_LE(bottom(pick->rect), 844);
}

TEST(ImagePickers, SayWhenTheLibraryIsEmpty) {
    LibraryFolder folder(library("picker-empty", {}));
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto layout = ui::layoutPresented(*picker, phone());
    EXPECT_TRUE(withRole(layout, PresentedTargetRole::pickFile).empty());
    EXPECT_NE(textOf(layout, "No Photos"), nullptr);
    EXPECT_TRUE(ui::photoLibraryFiles("/no/such/folder").empty());
}

TEST(ShareSheets, PreviewThePictureAboveSaveAndCancel) {
    graphics::beginImageContextWithOptions({390, 814}, false, 3);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    ASSERT_TRUE(image);
    auto share = std::make_shared<ui::ActivityViewController>(
        std::vector<ui::ActivityItem>{std::string("Picture"), image}, std::vector<std::string>{});
    auto layout = ui::layoutPresented(*share, phone());
    auto save = withRole(layout, PresentedTargetRole::saveToPictures);
    auto cancel = withRole(layout, PresentedTargetRole::cancelShare);
    ASSERT_EQ(save.size(), 1u);
    // The Cancel button, then the rest of the screen, which also cancels.
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_EQ(layout.targets.back().role, PresentedTargetRole::outside);
    EXPECT_EQ(layout.targets.back().rect, (graphics::Rect{{0, 0}, {390, 844}}));
    EXPECT_LT(bottom(save[0]->rect), cancel[0]->rect.origin.y);
    const ui::PresentedPicture* preview = nullptr;
    for (const auto& shape : layout.shapes)
        if (auto* picture = std::get_if<ui::PresentedPicture>(&shape)) preview = picture;
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->image, image);
    EXPECT_NEAR(preview->rect.width() / preview->rect.height(), 390.0 / 814.0, 1e-9);
    EXPECT_LT(bottom(preview->rect), save[0]->rect.origin.y);
    EXPECT_NE(textOf(layout, "Picture"), nullptr);
    EXPECT_NE(textOf(layout, "Save to Pictures"), nullptr);
}

TEST(PressedTargets, AreHighlighted) {
    auto sheet = menu();
    addCancel(*sheet);
    auto environment = phone();
    auto plain = ui::layoutPresented(*sheet, environment);
    environment.pressedTarget = 2;
    auto pressed = ui::layoutPresented(*sheet, environment);
    ASSERT_EQ(pressed.shapes.size(), plain.shapes.size() + 1);
    bool highlighted = false;
    for (const auto& shape : pressed.shapes)
        if (auto* fill = std::get_if<ui::PresentedFill>(&shape);
            fill && fill->rect == pressed.targets[2].rect)
            highlighted = true;
    EXPECT_TRUE(highlighted);
}

}  // namespace
