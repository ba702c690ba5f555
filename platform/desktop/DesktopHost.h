// The desktop front end: a resizable SDL2 window with an OpenGL ES 3
// context, mouse and touch-screen input as touches, the keyboard for moving
// through the simulated room, and the framework's alerts, sheets, picker and
// share sheet answering clicks and Esc and Enter.
#pragma once

#include <memory>

#include "platform/ui/Application.h"

namespace desktop {

std::unique_ptr<ui::Host> makeDesktopHost();

}  // namespace desktop
