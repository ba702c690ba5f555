#include "app/AppDelegate.h"

namespace scrawlet {

bool AppDelegate::applicationDidFinishLaunchingWithOptions(ui::Application&,
                                                           const ui::LaunchOptions&) {
    return true;
}

// Leaving and returning neither pauses nor saves anything.
void AppDelegate::applicationWillResignActive(ui::Application&) {}
void AppDelegate::applicationDidEnterBackground(ui::Application&) {}
void AppDelegate::applicationWillEnterForeground(ui::Application&) {}
void AppDelegate::applicationDidBecomeActive(ui::Application&) {}
// An unsaved drawing is discarded without asking.
void AppDelegate::applicationWillTerminate(ui::Application&) {}

}  // namespace scrawlet
