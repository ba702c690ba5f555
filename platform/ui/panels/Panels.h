// The look and the measures of the framework's own panels (alerts, sheets,
// popovers, the picker, the share sheet), and the builder that collects a
// panel's shapes and click targets. Shared by the layouts of each kind.
#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/PresentedLayout.h"

namespace ui::panels {

using graphics::Color;
using graphics::Font;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

// The look of the framework's panels: light panels over a dimmed screen,
// actions in the tint colour, destructive ones in red, the cancel action
// in bold.
inline const Color dimColor{0, 0, 0, 0.4};
inline const Color popoverDimColor{0, 0, 0, 0.15};
inline const Color panelColor{0.97, 0.97, 0.97, 1};
inline const Color pressedColor{0.84, 0.84, 0.86, 1};
inline const Color separatorColor{0.78, 0.78, 0.8, 1};
inline const Color tintColor{0.0, 0.48, 1.0, 1};
inline const Color destructiveColor{1.0, 0.23, 0.19, 1};
inline const Color secondaryTextColor{0.45, 0.45, 0.47, 1};
inline const Color primaryTextColor{0, 0, 0, 1};
inline const Color gridColor{1, 1, 1, 1};
inline const Color previewBorderColor{0.85, 0.85, 0.87, 1};
inline const Color cameraColor{0.05, 0.05, 0.05, 1};

inline constexpr double separatorWidth = 0.5;
// Action sheets on a phone: rounded groups along the bottom edge.
inline constexpr double sheetMargin = 8;
inline constexpr double sheetMaxWidth = 414;
inline constexpr double sheetRowHeight = 57;
inline constexpr double sheetMinRowHeight = 40;
inline constexpr double sheetCornerRadius = 13;
inline constexpr double sheetGap = 8;
inline constexpr double sheetActionFontSize = 20;
inline constexpr double sheetHeaderFontSize = 13;
inline constexpr double sheetHeaderPadding = 14;
// Alerts: a small panel in the middle of the screen.
inline constexpr double alertWidth = 270;
inline constexpr double alertRowHeight = 44;
inline constexpr double alertCornerRadius = 14;
inline constexpr double alertPadding = 20;
inline constexpr double alertTextInset = 16;
inline constexpr double alertFontSize = 17;
inline constexpr double alertMessageFontSize = 13;
// A long message widens an alert up to this, and shrinks its font down to
// this, before it is cut short.
inline constexpr double alertWidestWidth = 420;
inline constexpr double alertSmallestMessageFontSize = 9;
// Popovers on a pad.
inline constexpr double popoverWidth = 304;
inline constexpr double popoverArrowHeight = 13;
inline constexpr double popoverCornerRadius = 13;
inline constexpr double screenMargin = 10;
// The photo picker.
inline constexpr double barHeight = 44;
inline constexpr double barFontSize = 17;
inline constexpr double pickerPopoverWidth = 375;
inline constexpr double pickerPopoverHeight = 560;
inline constexpr double gridSpacing = 2;
inline constexpr double gridMinimumCell = 90;
inline constexpr std::size_t gridMinimumColumns = 4;
// The share sheet.
inline constexpr double sharePopoverWidth = 320;
inline constexpr double sharePreviewPadding = 16;
inline constexpr double sharePreviewMaxHeight = 320;
inline constexpr double sharePopoverPreviewHeight = 240;
// The least the preview shrinks to before the rows give way too.
inline constexpr double shareMinimumPreviewHeight = 60;
inline constexpr double captionGap = 8;
// The camera.
inline constexpr double shutterSize = 72;
inline constexpr double cameraControlsHeight = 140;

Font regularFont(double size);
Font boldFont(double size);

// The size `text` takes in `font`, no wider than `maxWidth` (0: unlimited).
Size measure(const std::string& text, const Font& font, double maxWidth);

// Collects shapes and targets; every click target gets its pressed
// highlight here, so a front end only has to say which one is held down.
class Builder {
public:
    Builder(PresentedLayout& layout, const PresentedEnvironment& environment)
        : layout_(layout), environment_(environment) {}

    const PresentedEnvironment& environment() const { return environment_; }
    Size screen() const { return environment_.screenSize; }

    void fill(Rect rect, double radius, Color color) {
        layout_.shapes.push_back(PresentedFill{rect, radius, color});
    }
    void line(Point from, Point to, Color color = separatorColor, double width = separatorWidth) {
        layout_.shapes.push_back(PresentedLine{from, to, width, color});
    }
    void dim(Color color) { fill({{0, 0}, screen()}, 0, color); }

    // Text centred in `box`, wrapped at its width. The text's rectangle
    // reaches from where the text starts to the box's right edge: drawn at
    // a screen's scale, hinted glyphs may come out a little wider than
    // measured, and must not wrap for that.
    void centredText(const std::string& text, const Font& font, Color color, Rect box);
    // Text with its top-left corner at `origin`, on one line.
    void text(const std::string& text, const Font& font, Color color, Point origin);

    // A click target; the pressed one is highlighted behind what follows.
    void target(PresentedTarget target, double highlightRadius) {
        if (environment_.pressedTarget == layout_.targets.size())
            fill(target.rect, highlightRadius, pressedColor);
        layout_.targets.push_back(std::move(target));
    }

    void picture(Rect rect, std::shared_ptr<const graphics::Image> image) {
        layout_.shapes.push_back(PresentedPicture{rect, std::move(image)});
    }
    void thumbnail(Rect rect, std::filesystem::path file) {
        layout_.shapes.push_back(PresentedThumbnail{rect, std::move(file)});
    }
    void arrow(Point tip, PopoverArrowDirection direction, Color color) {
        layout_.shapes.push_back(PresentedArrow{tip, direction, popoverArrowHeight, color});
        layout_.arrowDirection = direction;
    }

    PresentedLayout& layout() { return layout_; }

private:
    PresentedLayout& layout_;
    const PresentedEnvironment& environment_;
};

// Where a popover goes: its frame and, with an anchor, the arrow.
struct Placement {
    Rect frame;
    std::optional<PopoverArrowDirection> direction;
    Point tip;
};

// Whether `controller` shows as a popover in `environment` (on a pad).
bool isPopover(ViewController& controller, const PresentedEnvironment& environment);

// Places a popover of `content` size next to its anchor's source rectangle,
// on the first permitted side where it fits (below, above, right, left), or
// else on the permitted side with the most room, shortened to fit.
Placement placePopover(Size content, ViewController& controller,
                       const PresentedEnvironment& environment);

// Dims the screen lightly and draws the popover's panel and arrow.
void drawPopoverPanel(Builder& builder, const Placement& placement, Color color);

// The layouts of each kind of panel.
void layoutActionSheet(Builder& builder, AlertController& alert);
void layoutAlert(Builder& builder, AlertController& alert);
void layoutPicker(Builder& builder, ImagePickerController& picker);
void layoutShare(Builder& builder, ActivityViewController& share);

}  // namespace ui::panels
