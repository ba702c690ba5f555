// The desktop front end: a resizable SDL2 window with an OpenGL ES 3
// context, mouse and touch-screen input as touches, the keyboard for moving
// through the simulated room, and the framework's alerts, sheets, picker and
// share sheet answering clicks and Esc and Enter.
#pragma once

#include <memory>

#include "platform/ui/Application.h"

namespace desktop {

// `description` carries the back ends that draw and store scenes; the host
// fills in the window's size and scale, the folders and the device.
std::unique_ptr<ui::Host> makeDesktopHost(ui::LaunchDescription description);

}  // namespace desktop
