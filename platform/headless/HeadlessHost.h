// The headless front end: runs a script against the application with no
// display. Set-up commands configure the simulated device, `launch` starts
// the application, and the rest drive it like a user would, while `dump`
// and `snapshot` report what the user would see.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/headless/Script.h"
#include "platform/ui/Application.h"

namespace headless {

// Renders pictures of the screen; the EGL renderer, or none where pictures
// are not needed.
class ScreenRenderer {
public:
    virtual ~ScreenRenderer() = default;
    // The whole screen, presented controllers included, at `scale`.
    virtual platform::Result<std::shared_ptr<graphics::Bitmap>> renderScreen(
        const ui::Application& application, double scale) = 0;
};

class HeadlessHost : public ui::Host {
public:
    // `scriptPath` "-" reads standard input.
    explicit HeadlessHost(std::filesystem::path scriptPath);
    int run(ui::Application& application) override;

    // Runs script text; exit status 0, or 2 for a malformed line (with a
    // message naming it on `errors`).
    int runScript(ui::Application& application, std::string_view text, std::ostream& output,
                  std::ostream& errors);

    void setScreenRenderer(std::shared_ptr<ScreenRenderer> renderer) {
        renderer_ = std::move(renderer);
    }

private:
    platform::Result<void> execute(ui::Application& application, const Command& command,
                                   std::ostream& output);
    platform::Result<void> touch(ui::Application& application, const Command& command);
    platform::Result<void> choose(ui::Application& application, const Command& command);
    platform::Result<void> writePng(const graphics::Bitmap& bitmap,
                                    const std::filesystem::path& file);

    std::filesystem::path scriptPath_;
    std::shared_ptr<ScreenRenderer> renderer_;
    // Set-up, applied at launch.
    graphics::Size viewSize_{390, 844};
    double scale_ = 3;
    double inset_ = 0;
    scene::Matrix4 pose_ = scene::Matrix4::identity();
    // The touches now down, in the order they began.
    ui::TouchSet activeTouches_;
};

}  // namespace headless
