#include "platform/ui/KeyboardInput.h"

#include <string>

#include "platform/ui/PresentedResponse.h"

namespace ui {

namespace {
// The walking key's flag in `motion`, or none.
bool* walkingFlag(std::string_view code, ar::Motion& motion) {
    if (code == "KeyW") return &motion.forward;
    if (code == "KeyS") return &motion.back;
    if (code == "KeyA") return &motion.left;
    if (code == "KeyD") return &motion.right;
    if (code == "KeyQ") return &motion.down;
    if (code == "KeyE") return &motion.up;
    if (code == "ArrowLeft") return &motion.turnLeft;
    if (code == "ArrowRight") return &motion.turnRight;
    if (code == "ArrowUp") return &motion.turnUp;
    if (code == "ArrowDown") return &motion.turnDown;
    return nullptr;
}

// The key as key commands spell it: "z" for KeyZ, names as they are.
std::string commandInput(std::string_view code) {
    if (code.size() == 4 && code.starts_with("Key"))
        return std::string(1, static_cast<char>(code[3] - 'A' + 'a'));
    return std::string(code);
}
}  // namespace

KeyOutcome KeyboardInput::press(const KeyPress& key, ar::Motion* walking) {
    const bool presenting = topPresented(application_) != nullptr;
    // Over a presented screen the arrows and Tab move through its choices.
    if (presenting && key.down) {
        if (key.code == "ArrowUp" || key.code == "ArrowLeft") {
            pointers_.moveFocus(-1);
            return KeyOutcome::used;
        }
        if (key.code == "ArrowDown" || key.code == "ArrowRight" || key.code == "Tab") {
            pointers_.moveFocus(1);
            return KeyOutcome::used;
        }
    }
    if (walking != nullptr && !presenting) {
        if (bool* held = walkingFlag(key.code, *walking)) {
            // A key let go always stops; held with Control it is a shortcut
            // and does not walk.
            if (!key.down) {
                *held = false;
                return KeyOutcome::used;
            }
            if (!key.control) {
                *held = true;
                return KeyOutcome::used;
            }
        }
    }
    if (!key.down) return KeyOutcome::unused;
    if (key.control && key.code == "KeyQ") return KeyOutcome::quit;
    if (key.repeat) return KeyOutcome::used;
    if (application_.sendKeyCommand(commandInput(key.code), key.control)) return KeyOutcome::used;
    if (key.control) return KeyOutcome::unused;
    if (key.code == "KeyR") return KeyOutcome::resetCamera;
    if (key.code == "Space") {
        application_.sendMotionEnded(EventSubtype::motionShake);
        return KeyOutcome::used;
    }
    if (key.code == "Escape") {
        cancelPresented(application_);
        return KeyOutcome::used;
    }
    if (key.code == "Enter" || key.code == "NumpadEnter") {
        pointers_.chooseFocused();
        return KeyOutcome::used;
    }
    if (key.code == "F1") return KeyOutcome::showHelp;
    if (key.code == "F11") return KeyOutcome::toggleFullScreen;
    return KeyOutcome::unused;
}

}  // namespace ui
