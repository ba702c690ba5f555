#include "platform/ui/PresentedLayout.h"

#include "platform/Overloaded.h"
#include "platform/Precondition.h"
#include "platform/graphics/Backend.h"
#include "platform/ui/panels/Panels.h"

namespace ui {

std::optional<std::size_t> PresentedLayout::targetIndexAt(graphics::Point point) const {
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (targets[i].rect.contains(point)) return i;
    return std::nullopt;
}

const PresentedTarget* PresentedLayout::targetAt(graphics::Point point) const {
    auto index = targetIndexAt(point);
    return index ? &targets[*index] : nullptr;
}

PresentedLayout layoutPresented(const PresentedScreen& screen,
                                const PresentedEnvironment& environment) {
    platform::require(graphics::hasBackend(), "layoutPresented",
                      "no graphics back end to measure text with");
    PresentedLayout layout;
    panels::Builder builder(layout, environment);
    std::visit(platform::Overloaded{
                   [&](AlertController* alert) {
                       switch (alert->preferredStyle()) {
                           case AlertControllerStyle::actionSheet:
                               panels::layoutActionSheet(builder, *alert);
                               break;
                           case AlertControllerStyle::alert:
                               panels::layoutAlert(builder, *alert);
                               break;
                       }
                   },
                   [&](ImagePickerController* picker) { panels::layoutPicker(builder, *picker); },
                   [&](ActivityViewController* share) { panels::layoutShare(builder, *share); },
               },
               screen);
    return layout;
}

PresentedLayout layoutPresented(ViewController& controller,
                                const PresentedEnvironment& environment) {
    auto screen = controller.presentedScreen();
    return screen ? layoutPresented(*screen, environment) : PresentedLayout{};
}

}  // namespace ui
