// The desktop front end: a resizable SDL2 window with an OpenGL ES 3
// context, mouse and touch-screen input as touches, the keyboard for moving
// through the simulated room, and the framework's alerts, sheets, picker and
// share sheet answering clicks and Esc and Enter.
#pragma once

#include <memory>

#include "platform/ui/HostChoice.h"

namespace desktop {

// The window, which the program opens when it is given no option. The
// request's back ends draw and store scenes; the host fills in the window's
// size and scale, the folders and the device.
ui::HostChoice hostChoice();

}  // namespace desktop
