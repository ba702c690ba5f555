// The platform as a test wants it: the launch description every test starts
// from (the real back ends, a phone of 390 × 844 points at three pixels a
// point), scopes that change it for one test's length, and alerts to show.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Environment.h"
#include "platform/ui/LaunchDescription.h"
#include "platform/ui/Presentation.h"

namespace testsupport {

// An environment of its own, with `description` in force on this thread
// while it lives: the platform as a test without an application wants it.
class PlatformScope {
public:
    explicit PlatformScope(ui::LaunchDescription description)
        : environment_(std::move(description)), scope_(environment_) {}
    ui::Environment& environment() { return environment_; }

private:
    ui::Environment environment_;
    ui::EnvironmentScope scope_;
};

// The description in force, changed by `change`.
inline ui::LaunchDescription changed(const std::function<void(ui::LaunchDescription&)>& change) {
    ui::LaunchDescription description = ui::currentLaunchDescription();
    change(description);
    return description;
}

// The device is a pad while this lives: controllers that can show as
// popovers do.
class PadDevice {
public:
    PadDevice()
        : scope_(
              changed([](auto& description) { description.idiom = ui::UserInterfaceIdiom::pad; })) {
    }

private:
    PlatformScope scope_;
};

// An alert or action sheet, its actions given by title and style, none
// with a handler.
inline std::shared_ptr<ui::AlertController> alertWith(
    ui::AlertControllerStyle style, const std::string& message,
    const std::vector<std::pair<std::string, ui::AlertActionStyle>>& actions,
    std::optional<std::string> title = std::nullopt) {
    auto alert = ui::AlertController::alertControllerWithTitle(title, message, style);
    for (const auto& [title, actionStyle] : actions)
        alert->addAction(ui::AlertAction::actionWithTitle(title, actionStyle, nullptr));
    return alert;
}

// The main menu as the program builds it, Cancel last.
inline std::shared_ptr<ui::AlertController> menuSheet() {
    using Style = ui::AlertActionStyle;
    return alertWith(ui::AlertControllerStyle::actionSheet, "Please select:",
                     {{"Add Photo…", Style::defaultStyle},
                      {"Take Photo…", Style::defaultStyle},
                      {"Load Scrawlet", Style::destructive},
                      {"Save Scrawlet", Style::defaultStyle},
                      {"Share as Picture…", Style::defaultStyle},
                      {"Cancel", Style::cancel}});
}

// The clear alert as the program builds it: a red OK, then Cancel.
inline std::shared_ptr<ui::AlertController> clearAlert() {
    return alertWith(
        ui::AlertControllerStyle::alert, "Clear Drawing?",
        {{"OK", ui::AlertActionStyle::destructive}, {"Cancel", ui::AlertActionStyle::cancel}});
}

// The share sheet as the program shows it: a title and the picture.
inline std::shared_ptr<ui::ActivityViewController> shareSheet(
    std::shared_ptr<graphics::Image> picture) {
    return std::make_shared<ui::ActivityViewController>(
        std::vector<ui::ActivityItem>{std::string("Picture"), std::move(picture)},
        std::vector<std::string>{});
}

}  // namespace testsupport
