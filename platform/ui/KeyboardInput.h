// Keys as every host with a keyboard answers them, named as browsers name
// the physical keys ("KeyW", "ArrowUp", "Enter", "Escape", "Space",
// "Delete", "Tab", "F1"…): walking the simulated camera, the drawing's key
// commands, moving through a presented screen and choosing on it, shaking.
// What only a host can do (show its help, go full screen, quit) comes back
// for the host to do.
#pragma once

#include <string_view>

#include "platform/ar/CameraRig.h"
#include "platform/ui/Application.h"
#include "platform/ui/PointerInput.h"

namespace ui {

struct KeyPress {
    std::string_view code;
    bool down = true;
    bool control = false;
    bool repeat = false;
};

enum class KeyOutcome {
    // Not a key of ours; the host may pass it on.
    unused,
    used,
    // The host's own: put the camera back, show the keys, full screen, quit.
    resetCamera,
    showHelp,
    toggleFullScreen,
    quit,
};

class KeyboardInput {
public:
    KeyboardInput(Application& application, PointerInput& pointers)
        : application_(application), pointers_(pointers) {}

    // `walking` holds the walking keys; none where the camera is not walked
    // with keys (a phone in augmented reality is walked by its holder).
    KeyOutcome press(const KeyPress& key, ar::Motion* walking);

private:
    Application& application_;
    PointerInput& pointers_;
};

}  // namespace ui
