// Walking and looking around the simulated room with the keyboard and the
// mouse, as the desktop's window and the page in a browser both do: the
// walking keys are held and move the camera as time passes, the right mouse
// button held turns it with the mouse, R puts it back, and losing the focus
// lets go of everything held (keys released elsewhere never arrive).
#pragma once

#include "platform/ar/CameraRig.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/KeyboardInput.h"

namespace ui {

class RoomControls {
public:
    // A key pressed or let go, answered as `keys` answer it; the
    // walking keys are held only while `walkable` (the simulated room,
    // not the phone's own camera, which its holder walks). A resetCamera
    // outcome has put the camera back already where it is walkable.
    KeyOutcome press(KeyboardInput& keys, const KeyPress& key, bool walkable = true);
    // The right mouse button pressed or let go at `point`.
    void turnButton(bool down, graphics::Point point);
    // The mouse moved to `point`: true when it turned the camera, which it
    // does while the right button is held, right turning right and down
    // looking down.
    bool mouseMoved(graphics::Point point);
    bool turning() const { return turning_; }
    // Moves with the keys held for `seconds`; true when the camera moved.
    bool advance(double seconds) { return rig_.update(held_, seconds); }
    // Whether a key that moves the camera is held.
    bool moving() const { return held_.any(); }
    // Lets go of the keys and the button: the focus went elsewhere, or the
    // camera is moved by something else from now on.
    void release();

    ar::CameraRig& rig() { return rig_; }
    const ar::CameraRig& rig() const { return rig_; }

private:
    ar::CameraRig rig_;
    ar::Motion held_;
    bool turning_ = false;
    graphics::Point lastMouse_;
};

}  // namespace ui
