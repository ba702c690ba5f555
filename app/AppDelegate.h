// The application delegate. It holds the one window and does no work of its
// own: the session runs and pauses with the controller's view, and the
// drawing is saved only when the user asks.
#pragma once

#include <memory>
#include <string_view>

#include "platform/ui/Application.h"

namespace scrawlet {

class AppDelegate : public ui::ApplicationDelegate {
public:
    static constexpr std::string_view className = "AppDelegate";

    AppDelegate() = default;

    std::shared_ptr<ui::Window> window() const override { return window_; }
    void setWindow(std::shared_ptr<ui::Window> window) override { window_ = std::move(window); }

    bool applicationDidFinishLaunchingWithOptions(ui::Application& application,
                                                  const ui::LaunchOptions& options) override;
    void applicationWillResignActive(ui::Application& application) override;
    void applicationDidEnterBackground(ui::Application& application) override;
    void applicationWillEnterForeground(ui::Application& application) override;
    void applicationDidBecomeActive(ui::Application& application) override;
    void applicationWillTerminate(ui::Application& application) override;

private:
    std::shared_ptr<ui::Window> window_;
};

}  // namespace scrawlet
