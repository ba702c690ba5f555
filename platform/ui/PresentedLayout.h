// Where the framework's own panels (alerts, sheets, popovers, the picker, the
// share sheet) sit on the screen, as shapes to paint and click targets in
// points, so that what the renderer draws is what a front end hit-tests.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Device.h"
#include "platform/ui/Presentation.h"

namespace ui {

// Everything besides the controller that decides the layout. A zero value
// means the default: no insets, a phone, the picker scrolled to the top,
// nothing pressed.
struct PresentedEnvironment {
    // The screen (the window) in points.
    graphics::Size screenSize;
    graphics::EdgeInsets safeAreaInsets;
    UserInterfaceIdiom idiom = UserInterfaceIdiom::phone;
    // The first row of thumbnails the photo picker shows; the front end
    // scrolls by changing it (the layout clamps it).
    std::size_t pickerFirstRow = 0;
    // The target the user holds down, drawn highlighted.
    std::optional<std::size_t> pressedTarget;
    // The folder the photo picker shows.
    std::filesystem::path photoLibrary;
    friend bool operator==(const PresentedEnvironment&, const PresentedEnvironment&) = default;
};

// A filled rectangle, square-cornered when `cornerRadius` is 0.
struct PresentedFill {
    graphics::Rect rect;
    double cornerRadius = 0;
    graphics::Color color;
};

// A popover's arrow: a triangle whose tip touches the source rectangle and
// whose base lies on the panel's edge. `direction` is where the tip points.
struct PresentedArrow {
    graphics::Point tip;
    PopoverArrowDirection direction = PopoverArrowDirection::down;
    // From the base to the tip; the base is twice as wide.
    double height = 0;
    graphics::Color color;
};

struct PresentedLine {
    graphics::Point from;
    graphics::Point to;
    double width = 0;
    graphics::Color color;
};

// Text laid out from the top-left corner of `rect`, wrapped at its width and
// clipped to it. The layout has already centred the rectangle where the text
// is centred.
struct PresentedText {
    graphics::Rect rect;
    std::string text;
    graphics::Font font;
    graphics::Color color;
};

// A picture scaled to fill `rect` (the layout keeps its proportions).
struct PresentedPicture {
    graphics::Rect rect;
    std::shared_ptr<const graphics::Image> image;
};

// A square thumbnail of a picture file: its middle square, filling `rect`.
struct PresentedThumbnail {
    graphics::Rect rect;
    std::filesystem::path file;
};

using PresentedShape = std::variant<PresentedFill, PresentedArrow, PresentedLine, PresentedText,
                                    PresentedPicture, PresentedThumbnail>;

// What a click on a target means.
enum class PresentedTargetRole {
    // Choose the alert's action `actionIndex`.
    action = 0,
    // A click outside an action sheet, a popover or the share sheet: it
    // chooses the cancel action `actionIndex` when there is one, and
    // otherwise puts the screen away as its Cancel would.
    outside = 1,
    // The picker's thumbnail of `file`: ImagePickerController::pickFile.
    pickFile = 2,
    // The picker's Cancel: ImagePickerController::cancel.
    cancelPicker = 3,
    // The camera's shutter: the front end takes a picture and picks it.
    takePicture = 4,
    // The share sheet's "Save to Pictures": the front end writes the
    // sheet's picture into the photo library, then completes the sheet.
    saveToPictures = 5,
    // The share sheet's Cancel: ActivityViewController::complete.
    cancelShare = 6,
};

struct PresentedTarget {
    PresentedTargetRole role = PresentedTargetRole::action;
    graphics::Rect rect;
    std::optional<std::size_t> actionIndex;
    std::filesystem::path file;
};

struct PresentedLayout {
    // Painted in order, each over the ones before.
    std::vector<PresentedShape> shapes;
    // Tested in order; the first one containing the point wins. An
    // `outside` target, if any, covers the whole screen and comes last.
    std::vector<PresentedTarget> targets;
    // The main panel's frame, without the arrow.
    graphics::Rect panel;
    // Set when the controller shows as a popover with an arrow.
    std::optional<PopoverArrowDirection> arrowDirection;
    // Where the camera's live picture shows through the camera picker; the
    // renderer draws the camera image under the panel there.
    std::optional<graphics::Rect> viewfinder;
    // The photo picker's rows of thumbnails in all, and how many fit.
    std::size_t pickerRowCount = 0;
    std::size_t pickerVisibleRows = 0;

    // The index of the target under `point`, or none.
    std::optional<std::size_t> targetIndexAt(graphics::Point point) const;
    const PresentedTarget* targetAt(graphics::Point point) const;
};

// The layout of `screen` on a screen described by `environment`. Text is
// measured with the installed graphics back end (a broken precondition when
// there is none).
PresentedLayout layoutPresented(const PresentedScreen& screen,
                                const PresentedEnvironment& environment);
// The same for a controller; one that is none of the framework's screens
// has an empty layout.
PresentedLayout layoutPresented(ViewController& controller,
                                const PresentedEnvironment& environment);

}  // namespace ui
