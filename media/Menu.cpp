// The main menu: an action sheet built afresh at every touch on the menu
// button, whose entries forward to the media commands.
#include "controller/ViewController.h"
#include "platform/Precondition.h"

namespace scrawlet {

void ViewController::showMenu() {
    auto sheet = ui::AlertController::alertControllerWithTitle(
        std::nullopt, selectText, ui::AlertControllerStyle::actionSheet);
    auto entry = [&](const std::string& title, ui::AlertActionStyle style,
                     void (ViewController::*command)()) {
        sheet->addAction(ui::AlertAction::actionWithTitle(
            title, style,
            [controller = self(), command](ui::AlertAction&) { ((*controller).*command)(); }));
    };
    entry(photoText, ui::AlertActionStyle::defaultStyle, &ViewController::pickPhoto);
    entry(cameraText, ui::AlertActionStyle::defaultStyle, &ViewController::takePhoto);
    entry(loadText, ui::AlertActionStyle::destructive, &ViewController::loadDrawing);
    entry(saveText, ui::AlertActionStyle::defaultStyle, &ViewController::saveDrawing);
    entry(shareText, ui::AlertActionStyle::defaultStyle, &ViewController::shareAsPicture);

    if (auto* popover = sheet->popoverPresentationController()) {
        platform::require(sceneView != nullptr, "showMenu", "the scene view is not connected");
        double height = graphics::rectGetHeight(sceneView->frame());
        popover->setSourceView(sceneView.get());
        popover->setSourceRect({{0, height - buttonSize}, {buttonSize, buttonSize}});
        popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
    }
    sheet->addAction(
        ui::AlertAction::actionWithTitle(cancelText, ui::AlertActionStyle::cancel, nullptr));
    presentViewController(sheet, true, nullptr);
}

}  // namespace scrawlet
