// What a screen reader and the keyboard reach of a frame that is only
// pixels: the overlay's buttons and its live text line, and the presented
// screen on top as a dialog with its choices in reading order. A host
// mirrors this in its own accessible elements (the page's DOM) and presses
// an element by tapping where it is drawn, so that the mirror acts exactly
// as the pixels do.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Frame.h"

namespace ui {

// One of the overlay's buttons: its name and where it is drawn, in screen
// points from the top-left corner.
struct AccessibleButton {
    std::string label;
    graphics::Rect frame;
    friend bool operator==(const AccessibleButton&, const AccessibleButton&) = default;
};

enum class AccessibleDialogKind { alert = 0, actionSheet = 1, imagePicker = 2, share = 3 };

// How a choice treats the user's work: Enter never presses a destructive
// one, Esc presses the cancelling one.
enum class AccessibleChoiceStyle { plain = 0, cancel = 1, destructive = 2 };

struct AccessibleChoice {
    std::string label;
    graphics::Rect frame;
    AccessibleChoiceStyle style = AccessibleChoiceStyle::plain;
    // What Enter chooses (the alert's bold action), where focus starts.
    bool isDefault = false;
    friend bool operator==(const AccessibleChoice&, const AccessibleChoice&) = default;
};

// The screen presented on top. An alert interrupts and is read as such;
// the others are dialogs. `title` names the dialog (an alert without a
// title is named by its message).
struct AccessibleDialog {
    AccessibleDialogKind kind = AccessibleDialogKind::alert;
    std::string title;
    std::optional<std::string> message;
    std::vector<AccessibleChoice> choices;
    friend bool operator==(const AccessibleDialog&, const AccessibleDialog&) = default;
};

struct AccessibleScreen {
    // In the order the overlay draws them.
    std::vector<AccessibleButton> buttons;
    // The overlay's text line, read out when it changes.
    std::optional<std::string> liveText;
    std::optional<AccessibleDialog> dialog;
    friend bool operator==(const AccessibleScreen&, const AccessibleScreen&) = default;
};

AccessibleScreen describeAccessible(const FrameDescription& frame);

// Where a tap presses the element: the middle of its frame.
graphics::Point tapPoint(const graphics::Rect& frame);

}  // namespace ui
