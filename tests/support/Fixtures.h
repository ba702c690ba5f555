// The platform as a test wants it: the launch description every test starts
// from (the real back ends, a phone of 390 × 844 points at three pixels a
// point), and scopes that change it for one test's length.
#pragma once

#include <functional>

#include "platform/ui/LaunchDescription.h"

namespace testsupport {

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
    ui::LaunchScope scope_;
};

}  // namespace testsupport
