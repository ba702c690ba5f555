#include "platform/ui/Accessibility.h"

#include <variant>

#include "platform/Overloaded.h"
#include "platform/Precondition.h"
#include "platform/overlay/Node.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/Presentation.h"
#include "platform/ui/SceneView.h"

namespace ui {

namespace {

// The overlay's scale onto the view, as the renderer draws it: the overlay
// fills the view, y upwards.
struct OverlayPlacement {
    graphics::Rect view;
    double scaleX = 1;
    double scaleY = 1;
};

// Walks the overlay as the renderer draws it, children after their parent;
// a node drawn fully transparent (and what it holds) is not there to
// reach.
void collect(const overlay::Node& node, graphics::Point parent, double parentAlpha,
             const OverlayPlacement& placement, AccessibleScreen& screen) {
    const double alpha = parentAlpha * node.alpha();
    if (!(alpha > 0)) return;
    const graphics::Point at{parent.x + node.position().x * placement.scaleX,
                             parent.y - node.position().y * placement.scaleY};
    const overlay::Shown shown = node.shown();
    switch (node.accessibilityRole()) {
        case overlay::AccessibilityRole::none: break;
        case overlay::AccessibilityRole::button: {
            // A disc is as large as its circle; anything else is pressed at
            // its position.
            double rx = 0, ry = 0;
            if (const auto* disc = std::get_if<const overlay::ShapeNode*>(&shown)) {
                rx = (*disc)->radius() * placement.scaleX;
                ry = (*disc)->radius() * placement.scaleY;
            }
            screen.buttons.push_back(
                {node.accessibilityLabel(), {{at.x - rx, at.y - ry}, {2 * rx, 2 * ry}}});
            break;
        }
        case overlay::AccessibilityRole::liveText: {
            std::string text = node.accessibilityLabel();
            const auto* label = std::get_if<const overlay::LabelNode*>(&shown);
            if (label && text.empty()) text = (*label)->text();
            screen.liveText = std::move(text);
            break;
        }
    }
    for (const auto& child : node.children()) collect(*child, at, alpha, placement, screen);
}

AccessibleChoiceStyle styleOf(AlertActionStyle style) {
    switch (style) {
        case AlertActionStyle::defaultStyle: return AccessibleChoiceStyle::plain;
        case AlertActionStyle::cancel: return AccessibleChoiceStyle::cancel;
        case AlertActionStyle::destructive: return AccessibleChoiceStyle::destructive;
    }
    platform::unreachable("styleOf");
}

// The dialog's name and what each target is called and does, from the
// screen itself; the targets come in the layout's reading order, without
// the tap beside a sheet (which Esc stands for).
AccessibleDialog describeDialog(PresentedScreen screen, const PresentedLayout& layout) {
    AccessibleDialog dialog;
    const PlatformTexts& texts = platformTexts();
    AlertController* alert = nullptr;
    std::visit(platform::Overloaded{
                   [&](AlertController* a) {
                       alert = a;
                       switch (a->preferredStyle()) {
                           case AlertControllerStyle::alert:
                               dialog.kind = AccessibleDialogKind::alert;
                               break;
                           case AlertControllerStyle::actionSheet:
                               dialog.kind = AccessibleDialogKind::actionSheet;
                               break;
                       }
                       dialog.title = a->title().value_or(a->message().value_or(""));
                       if (a->title()) dialog.message = a->message();
                   },
                   [&](ImagePickerController* picker) {
                       dialog.kind = AccessibleDialogKind::imagePicker;
                       switch (picker->sourceType()) {
                           case ImagePickerSourceType::photoLibrary:
                           case ImagePickerSourceType::savedPhotosAlbum:
                               dialog.title = texts.photos;
                               break;
                           case ImagePickerSourceType::camera: dialog.title = texts.camera; break;
                       }
                   },
                   [&](ActivityViewController* share) {
                       dialog.kind = AccessibleDialogKind::share;
                       dialog.title = texts.share;
                       // The caption under the picture.
                       for (const auto& item : share->activityItems())
                           if (const auto* text = std::get_if<std::string>(&item)) {
                               dialog.message = *text;
                               break;
                           }
                   },
               },
               screen);
    for (const auto& target : layout.targets) {
        AccessibleChoice choice{{}, target.rect, AccessibleChoiceStyle::plain, false};
        switch (target.role) {
            case PresentedTargetRole::outside: continue;
            case PresentedTargetRole::action:
                if (alert == nullptr || !target.actionIndex ||
                    *target.actionIndex >= alert->actions().size())
                    continue;
                choice.label = alert->actions()[*target.actionIndex]->title().value_or("");
                choice.style = styleOf(alert->actions()[*target.actionIndex]->style());
                choice.isDefault = alert->defaultAction() == alert->actions()[*target.actionIndex];
                break;
            case PresentedTargetRole::pickFile:
                choice.label = target.file.filename().string();
                break;
            case PresentedTargetRole::cancelPicker:
            case PresentedTargetRole::cancelShare:
                choice.label = texts.cancel;
                choice.style = AccessibleChoiceStyle::cancel;
                break;
            case PresentedTargetRole::takePicture: choice.label = texts.takePicture; break;
            case PresentedTargetRole::saveToPictures: choice.label = texts.saveToPictures; break;
        }
        dialog.choices.push_back(std::move(choice));
    }
    return dialog;
}

}  // namespace

AccessibleScreen describeAccessible(const FrameDescription& frame) {
    AccessibleScreen screen;
    if (frame.sceneView) {
        if (const auto& hud = frame.sceneView->overlayScene()) {
            const graphics::Size size = hud->size();
            if (size.width > 0 && size.height > 0) {
                OverlayPlacement placement{frame.sceneView->frame(), 1, 1};
                placement.scaleX = placement.view.width() / size.width;
                placement.scaleY = placement.view.height() / size.height;
                const graphics::Point origin{placement.view.origin.x, placement.view.bottom()};
                for (const auto& child : hud->children())
                    collect(*child, origin, hud->alpha(), placement, screen);
            }
        }
    }
    if (const auto* layout = frame.topLayout()) {
        if (auto shown = frame.presented.back().controller->presentedScreen())
            screen.dialog = describeDialog(*shown, *layout);
    }
    return screen;
}

graphics::Point tapPoint(const graphics::Rect& frame) { return {frame.midX(), frame.midY()}; }

}  // namespace ui
