// Sharing a picture of the screen: the view without its top 30 points, the
// HUD included, handed to the share sheet after the text "Picture".
#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/graphics/ImageContext.h"

namespace scrawlet {

void ViewController::shareAsPicture() {
    platform::require(sceneView != nullptr, "shareAsPicture", "the scene view is not connected");
    graphics::Rect bounds = sceneView->bounds();
    graphics::beginImageContextWithOptions({bounds.width(), bounds.height() - 30}, false, 0.0);
    sceneView->drawViewHierarchyInRect(
        {{bounds.origin.x, bounds.origin.y - 30}, {bounds.width(), bounds.height()}}, false);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    // A view no taller than the strip left out has nothing to share.
    if (!image) return;

    auto sheet = std::make_shared<ui::ActivityViewController>(
        std::vector<ui::ActivityItem>{std::string("Picture"), image}, std::vector<std::string>{});
    if (auto* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(sceneView.get());
        popover->setSourceRect({{0, graphics::rectGetHeight(sceneView->frame()) - buttonSize},
                                {buttonSize, buttonSize}});
        popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
    }
    presentViewController(sheet, true, nullptr);
}

}  // namespace scrawlet
