// The headless host: runs a script file (or standard input) against the
// application with no display, in the automation language. Pictures come
// from Mesa's software renderer through EGL.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/HostChoice.h"

namespace headless {

class HeadlessHost : public ui::Host {
public:
    // `scriptPath` "-" reads standard input. `description` carries the
    // back ends that draw and store scenes; set-up commands fill in the rest.
    HeadlessHost(std::filesystem::path scriptPath, ui::LaunchDescription description);
    int run(ui::Application& application) override;

private:
    std::filesystem::path scriptPath_;
    ui::LaunchDescription description_;
};

// `--headless FILE`: the script in FILE, or on standard input for "-".
ui::HostChoice hostChoice();

}  // namespace headless
