#include "platform/ui/RoomControls.h"

namespace ui {

KeyOutcome RoomControls::press(KeyboardInput& keys, const KeyPress& key, bool walkable) {
    auto outcome = keys.press(key, walkable ? &held_ : nullptr);
    if (outcome == KeyOutcome::resetCamera && walkable) rig_.reset();
    return outcome;
}

void RoomControls::turnButton(bool down, graphics::Point point) {
    turning_ = down;
    lastMouse_ = point;
}

bool RoomControls::mouseMoved(graphics::Point point) {
    if (!turning_) return false;
    rig_.drag(point.x - lastMouse_.x, point.y - lastMouse_.y);
    lastMouse_ = point;
    return true;
}

void RoomControls::release() {
    held_ = ar::Motion{};
    turning_ = false;
}

}  // namespace ui
