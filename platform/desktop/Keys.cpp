#include "platform/desktop/Keys.h"

namespace desktop {

const std::vector<KeyHelp>& keyHelp() {
    static const std::vector<KeyHelp> keys{
        {"Drag", "draw; press a round button to use it"},
        {"W A S D", "walk forward, left, back, right"},
        {"Q E", "move down, up"},
        {"Arrows, right-drag", "turn, look up and down"},
        {"R", "back to where you started"},
        {"Space", "shake the device (asks to clear)"},
        {"Esc", "cancel the alert or sheet"},
        {"Enter", "choose the alert's default action"},
        {"F11", "full screen"},
        {"F1", "this help"},
        {"Ctrl+Q", "quit"},
    };
    return keys;
}

std::string helpText() {
    std::string text;
    for (const auto& key : keyHelp()) {
        if (!text.empty()) text += "\n";
        text += std::string(key.keys) + ": " + key.meaning;
    }
    return text;
}

}  // namespace desktop
