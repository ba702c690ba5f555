#include "platform/ui/PresentedLayout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <system_error>

#include "platform/Precondition.h"
#include "platform/graphics/Backend.h"

namespace ui {

namespace {

using graphics::Color;
using graphics::Font;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

// The look of the framework's panels: light panels over a dimmed screen,
// actions in the tint colour, destructive ones in red, the cancel action
// in bold.
const Color dimColor{0, 0, 0, 0.4};
const Color popoverDimColor{0, 0, 0, 0.15};
const Color panelColor{0.97, 0.97, 0.97, 1};
const Color pressedColor{0.84, 0.84, 0.86, 1};
const Color separatorColor{0.78, 0.78, 0.8, 1};
const Color tintColor{0.0, 0.48, 1.0, 1};
const Color destructiveColor{1.0, 0.23, 0.19, 1};
const Color secondaryTextColor{0.45, 0.45, 0.47, 1};
const Color primaryTextColor{0, 0, 0, 1};
const Color gridColor{1, 1, 1, 1};
const Color previewBorderColor{0.85, 0.85, 0.87, 1};
const Color cameraColor{0.05, 0.05, 0.05, 1};

// The system font's bold face, as the graphics back end resolves names.
constexpr const char* boldSystemFontName = "DejaVu Sans Bold";

Font regularFont(double size) { return Font::systemFont(size); }
Font boldFont(double size) { return Font::named(boldSystemFontName, size); }

constexpr double separatorWidth = 0.5;
// Action sheets on a phone: rounded groups along the bottom edge.
constexpr double sheetMargin = 8;
constexpr double sheetMaxWidth = 414;
constexpr double sheetRowHeight = 57;
constexpr double sheetMinRowHeight = 40;
constexpr double sheetCornerRadius = 13;
constexpr double sheetGap = 8;
constexpr double sheetActionFontSize = 20;
constexpr double sheetHeaderFontSize = 13;
constexpr double sheetHeaderPadding = 14;
// Alerts: a small panel in the middle of the screen.
constexpr double alertWidth = 270;
constexpr double alertRowHeight = 44;
constexpr double alertCornerRadius = 14;
constexpr double alertPadding = 20;
constexpr double alertTextInset = 16;
constexpr double alertFontSize = 17;
constexpr double alertMessageFontSize = 13;
// Popovers on a pad.
constexpr double popoverWidth = 304;
constexpr double popoverArrowHeight = 13;
constexpr double popoverCornerRadius = 13;
constexpr double screenMargin = 10;
// The photo picker.
constexpr double barHeight = 44;
constexpr double barFontSize = 17;
constexpr double pickerPopoverWidth = 375;
constexpr double pickerPopoverHeight = 560;
constexpr double gridSpacing = 2;
constexpr double gridMinimumCell = 90;
constexpr std::size_t gridMinimumColumns = 4;
// The share sheet.
constexpr double sharePopoverWidth = 320;
constexpr double sharePreviewPadding = 16;
constexpr double sharePreviewMaxHeight = 320;
constexpr double sharePopoverPreviewHeight = 240;
constexpr double captionGap = 8;
// The camera.
constexpr double shutterSize = 72;
constexpr double cameraControlsHeight = 140;

double right(const Rect& r) { return r.origin.x + r.width(); }
double bottom(const Rect& r) { return r.origin.y + r.height(); }
double midX(const Rect& r) { return r.origin.x + r.width() / 2; }
double midY(const Rect& r) { return r.origin.y + r.height() / 2; }

Size measure(const std::string& text, const Font& font, double maxWidth) {
    if (text.empty()) return {0, 0};
    return graphics::backend().measureText(text, font, maxWidth);
}

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
    void centredText(const std::string& text, const Font& font, Color color, Rect box) {
        if (text.empty()) return;
        Size size = measure(text, font, box.width());
        double left = midX(box) - std::min(size.width, box.width()) / 2;
        Rect rect{{left, midY(box) - size.height / 2}, {right(box) - left, size.height + 1}};
        layout_.shapes.push_back(PresentedText{rect, text, font, color});
    }
    // Text with its top-left corner at `origin`, on one line.
    void text(const std::string& text, const Font& font, Color color, Point origin) {
        if (text.empty()) return;
        Size size = measure(text, font, 0);
        layout_.shapes.push_back(
            PresentedText{{origin, {size.width + 1, size.height + 1}}, text, font, color});
    }

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

bool isPopover(ViewController& controller, const PresentedEnvironment& environment) {
    return environment.idiom == UserInterfaceIdiom::pad &&
           controller.modalPresentationStyle() == ModalPresentationStyle::popover;
}

// Places a popover of `content` size next to its anchor's source rectangle,
// on the first permitted side where it fits (below, above, right, left), or
// else on the permitted side with the most room, shortened to fit.
Placement placePopover(Size content, ViewController& controller,
                       const PresentedEnvironment& environment) {
    const Size screen = environment.screenSize;
    const auto& insets = environment.safeAreaInsets;
    const double minX = screenMargin + insets.left,
                 maxX = screen.width - screenMargin - insets.right;
    const double minY = screenMargin + insets.top,
                 maxY = screen.height - screenMargin - insets.bottom;
    const double room = std::max(0.0, maxX - minX), roomY = std::max(0.0, maxY - minY);
    content.width = std::min(content.width, room);

    PopoverPresentationController* anchor = controller.popoverPresentationController();
    if (anchor == nullptr || anchor->sourceView() == nullptr) {
        content.height = std::min(content.height, roomY);
        return {
            {{(screen.width - content.width) / 2, (screen.height - content.height) / 2}, content},
            std::nullopt,
            {}};
    }
    const Rect source = anchor->sourceRect();
    unsigned permitted = anchor->permittedArrowDirections();
    if ((permitted & static_cast<unsigned>(PopoverArrowDirection::any)) == 0)
        permitted = static_cast<unsigned>(PopoverArrowDirection::any);

    // The room on each side: the arrow that points up sits below the source.
    auto roomFor = [&](PopoverArrowDirection direction) -> Size {
        switch (direction) {
            case PopoverArrowDirection::up:
                return {room, std::max(0.0, maxY - (bottom(source) + popoverArrowHeight))};
            case PopoverArrowDirection::down:
                return {room, std::max(0.0, source.origin.y - popoverArrowHeight - minY)};
            case PopoverArrowDirection::left:
                return {std::max(0.0, maxX - (right(source) + popoverArrowHeight)), roomY};
            case PopoverArrowDirection::right:
                return {std::max(0.0, source.origin.x - popoverArrowHeight - minX), roomY};
            case PopoverArrowDirection::any: return {room, roomY};
        }
        return {};
    };
    const PopoverArrowDirection order[] = {PopoverArrowDirection::up, PopoverArrowDirection::down,
                                           PopoverArrowDirection::right,
                                           PopoverArrowDirection::left};
    std::optional<PopoverArrowDirection> chosen;
    double bestArea = -1;
    PopoverArrowDirection best = PopoverArrowDirection::up;
    for (auto direction : order) {
        if ((permitted & static_cast<unsigned>(direction)) == 0) continue;
        Size available = roomFor(direction);
        if (content.width <= available.width && content.height <= available.height) {
            chosen = direction;
            break;
        }
        double area =
            std::min(content.width, available.width) * std::min(content.height, available.height);
        if (area > bestArea) {
            bestArea = area;
            best = direction;
        }
    }
    PopoverArrowDirection direction = chosen.value_or(best);
    Size available = roomFor(direction);
    Size size{std::min(content.width, available.width), std::min(content.height, available.height)};

    // The arrow stays on the straight part of the panel's edge.
    const double edge = popoverCornerRadius + popoverArrowHeight;
    auto clampTip = [&](double value, double low, double high) {
        return low <= high ? std::clamp(value, low, high) : (low + high) / 2;
    };
    Placement placement;
    placement.direction = direction;
    switch (direction) {
        case PopoverArrowDirection::up:
        case PopoverArrowDirection::down: {
            double x =
                std::clamp(midX(source) - size.width / 2, minX, std::max(minX, maxX - size.width));
            double y = direction == PopoverArrowDirection::up
                           ? bottom(source) + popoverArrowHeight
                           : source.origin.y - popoverArrowHeight - size.height;
            placement.frame = {{x, y}, size};
            placement.tip = {
                clampTip(midX(source), x + edge, x + size.width - edge),
                direction == PopoverArrowDirection::up ? bottom(source) : source.origin.y};
            break;
        }
        case PopoverArrowDirection::left:
        case PopoverArrowDirection::right: {
            double y = std::clamp(midY(source) - size.height / 2, minY,
                                  std::max(minY, maxY - size.height));
            double x = direction == PopoverArrowDirection::left
                           ? right(source) + popoverArrowHeight
                           : source.origin.x - popoverArrowHeight - size.width;
            placement.frame = {{x, y}, size};
            placement.tip = {
                direction == PopoverArrowDirection::left ? right(source) : source.origin.x,
                clampTip(midY(source), y + edge, y + size.height - edge)};
            break;
        }
        case PopoverArrowDirection::any: break;
    }
    return placement;
}

void drawPopoverPanel(Builder& builder, const Placement& placement, Color color) {
    builder.dim(popoverDimColor);
    if (placement.direction) builder.arrow(placement.tip, *placement.direction, color);
    builder.fill(placement.frame, popoverCornerRadius, color);
    builder.layout().panel = placement.frame;
}

Font actionFont(AlertActionStyle style, double size) {
    switch (style) {
        case AlertActionStyle::cancel: return boldFont(size);
        case AlertActionStyle::defaultStyle:
        case AlertActionStyle::destructive: return regularFont(size);
    }
    return regularFont(size);
}

Color actionColor(AlertActionStyle style) {
    switch (style) {
        case AlertActionStyle::destructive: return destructiveColor;
        case AlertActionStyle::defaultStyle:
        case AlertActionStyle::cancel: return tintColor;
    }
    return tintColor;
}

// The title and message above an action sheet's buttons, small and grey.
struct SheetHeader {
    std::string title;
    std::string message;
    Size titleSize;
    Size messageSize;
    double height = 0;
};

SheetHeader measureSheetHeader(const AlertController& alert, double width) {
    SheetHeader header;
    header.title = alert.title().value_or("");
    header.message = alert.message().value_or("");
    double textWidth = width - 2 * alertTextInset;
    header.titleSize = measure(header.title, boldFont(sheetHeaderFontSize), textWidth);
    header.messageSize = measure(header.message, regularFont(sheetHeaderFontSize), textWidth);
    if (header.title.empty() && header.message.empty()) return header;
    double gap = header.title.empty() || header.message.empty() ? 0 : 4;
    header.height =
        2 * sheetHeaderPadding + header.titleSize.height + gap + header.messageSize.height;
    return header;
}

void drawSheetHeader(Builder& builder, const SheetHeader& header, Rect panel) {
    if (header.height == 0) return;
    double y = panel.origin.y + sheetHeaderPadding;
    Rect textBox{{panel.origin.x + alertTextInset, y},
                 {panel.width() - 2 * alertTextInset, header.titleSize.height}};
    builder.centredText(header.title, boldFont(sheetHeaderFontSize), secondaryTextColor, textBox);
    if (!header.title.empty()) y += header.titleSize.height + (header.message.empty() ? 0 : 4);
    textBox = {{panel.origin.x + alertTextInset, y},
               {panel.width() - 2 * alertTextInset, header.messageSize.height}};
    builder.centredText(header.message, regularFont(sheetHeaderFontSize), secondaryTextColor,
                        textBox);
}

// The sheet's rows of buttons from `top` down; rows after the first (or
// after a header) get a separator above them.
void drawSheetRows(Builder& builder, const AlertController& alert,
                   const std::vector<std::size_t>& rows, Rect panel, double top, double rowHeight,
                   bool separatorOnFirst) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& action = alert.actions()[rows[i]];
        Rect rect{{panel.origin.x, top + static_cast<double>(i) * rowHeight},
                  {panel.width(), rowHeight}};
        bool touchesCorner = (i == 0 && !separatorOnFirst) || i + 1 == rows.size();
        builder.target({PresentedTargetRole::action, rect, rows[i], {}},
                       touchesCorner ? sheetCornerRadius : 0);
        if (i > 0 || separatorOnFirst)
            builder.line({rect.origin.x, rect.origin.y}, {right(rect), rect.origin.y});
        builder.centredText(action->title().value_or(""),
                            actionFont(action->style(), sheetActionFontSize),
                            actionColor(action->style()), rect);
    }
}

std::pair<std::vector<std::size_t>, std::optional<std::size_t>> splitCancel(
    const AlertController& alert) {
    std::vector<std::size_t> rows;
    std::optional<std::size_t> cancel;
    for (std::size_t i = 0; i < alert.actions().size(); ++i) {
        if (alert.actions()[i]->style() == AlertActionStyle::cancel)
            cancel = i;
        else
            rows.push_back(i);
    }
    return {rows, cancel};
}

void layoutActionSheet(Builder& builder, AlertController& alert) {
    const Size screen = builder.screen();
    const auto& insets = builder.environment().safeAreaInsets;
    auto [rows, cancel] = splitCancel(alert);

    if (isPopover(alert, builder.environment())) {
        // A popover has no cancel button: a click outside it cancels.
        SheetHeader header = measureSheetHeader(alert, popoverWidth);
        Size content{popoverWidth,
                     header.height + static_cast<double>(rows.size()) * sheetRowHeight};
        Placement placement = placePopover(content, alert, builder.environment());
        drawPopoverPanel(builder, placement, panelColor);
        drawSheetHeader(builder, header, placement.frame);
        // A popover shortened to fit the screen has shorter rows.
        double rowHeight =
            rows.empty() ? sheetRowHeight
                         : std::min(sheetRowHeight, (placement.frame.height() - header.height) /
                                                        static_cast<double>(rows.size()));
        drawSheetRows(builder, alert, rows, placement.frame,
                      placement.frame.origin.y + header.height, rowHeight, header.height > 0);
        builder.layout().targets.push_back(
            {PresentedTargetRole::outside, {{0, 0}, screen}, cancel, {}});
        return;
    }

    double width = std::min(screen.width - 2 * sheetMargin, sheetMaxWidth);
    double x = (screen.width - width) / 2;
    double bottomEdge = screen.height - std::max(insets.bottom, sheetMargin);
    SheetHeader header = measureSheetHeader(alert, width);
    builder.dim(dimColor);
    // Rows get shorter where the sheet would not fit, as on a phone held
    // sideways, down to a height that still takes a finger.
    double rowCount = static_cast<double>(rows.size() + (cancel ? 1 : 0));
    double room = bottomEdge - (insets.top + sheetMargin) - header.height - (cancel ? sheetGap : 0);
    double rowHeight = rowCount > 0 ? std::clamp(room / rowCount, sheetMinRowHeight, sheetRowHeight)
                                    : sheetRowHeight;
    // Targets go in reading order: the group's rows, then Cancel below.
    Rect cancelRect{{x, bottomEdge - rowHeight}, {width, rowHeight}};
    if (cancel) bottomEdge = cancelRect.origin.y - sheetGap;
    double groupHeight = header.height + static_cast<double>(rows.size()) * rowHeight;
    if (groupHeight > 0) {
        Rect group{{x, bottomEdge - groupHeight}, {width, groupHeight}};
        builder.fill(group, sheetCornerRadius, panelColor);
        builder.layout().panel = group;
        drawSheetHeader(builder, header, group);
        drawSheetRows(builder, alert, rows, group, group.origin.y + header.height, rowHeight,
                      header.height > 0);
    }
    if (cancel) {
        builder.fill(cancelRect, sheetCornerRadius, Color{1, 1, 1, 1});
        const auto& action = alert.actions()[*cancel];
        builder.target({PresentedTargetRole::action, cancelRect, *cancel, {}}, sheetCornerRadius);
        builder.centredText(action->title().value_or(""),
                            actionFont(action->style(), sheetActionFontSize),
                            actionColor(action->style()), cancelRect);
    }
    // A click on the dimmed screen above the sheet cancels it.
    if (cancel)
        builder.layout().targets.push_back(
            {PresentedTargetRole::outside, {{0, 0}, screen}, cancel, {}});
}

void layoutAlert(Builder& builder, AlertController& alert) {
    const Size screen = builder.screen();
    const double width = std::min(alertWidth, screen.width - 2 * screenMargin);
    const double textWidth = width - 2 * alertTextInset;
    // Without a title the message reads as one, in bold.
    std::string title = alert.title().value_or("");
    std::string message = alert.message().value_or("");
    Font titleFont = boldFont(alertFontSize);
    Font messageFont = title.empty() ? boldFont(alertFontSize) : regularFont(alertMessageFontSize);
    Size titleSize = measure(title, titleFont, textWidth);
    Size messageSize = measure(message, messageFont, textWidth);
    double gap = title.empty() || message.empty() ? 0 : 4;
    double headerHeight = title.empty() && message.empty()
                              ? 0
                              : 2 * alertPadding + titleSize.height + gap + messageSize.height;

    // Two actions sit side by side when both titles fit, the cancel action
    // on the left; otherwise they are stacked with the cancel action last.
    const auto& actions = alert.actions();
    auto [order, cancel] = splitCancel(alert);
    if (cancel) order.insert(actions.size() == 2 ? order.begin() : order.end(), *cancel);
    bool sideBySide = actions.size() == 2;
    for (std::size_t index : order) {
        const auto& action = actions[index];
        double titleWidth =
            measure(action->title().value_or(""), actionFont(action->style(), alertFontSize), 0)
                .width;
        if (titleWidth > width / 2 - 2 * 8) sideBySide = false;
    }
    double buttonsHeight = (sideBySide ? 1.0 : static_cast<double>(order.size())) * alertRowHeight;
    double height = headerHeight + buttonsHeight;
    Rect panel{{(screen.width - width) / 2, (screen.height - height) / 2}, {width, height}};

    builder.dim(dimColor);
    builder.fill(panel, alertCornerRadius, panelColor);
    builder.layout().panel = panel;
    double y = panel.origin.y + alertPadding;
    builder.centredText(title, titleFont, primaryTextColor,
                        {{panel.origin.x + alertTextInset, y}, {textWidth, titleSize.height}});
    if (!title.empty()) y += titleSize.height + gap;
    builder.centredText(message, messageFont, primaryTextColor,
                        {{panel.origin.x + alertTextInset, y}, {textWidth, messageSize.height}});

    double top = panel.origin.y + headerHeight;
    for (std::size_t i = 0; i < order.size(); ++i) {
        Rect rect = sideBySide
                        ? Rect{{panel.origin.x + static_cast<double>(i) * width / 2, top},
                               {width / 2, alertRowHeight}}
                        : Rect{{panel.origin.x, top + static_cast<double>(i) * alertRowHeight},
                               {width, alertRowHeight}};
        bool last = sideBySide || i + 1 == order.size();
        builder.target({PresentedTargetRole::action, rect, order[i], {}},
                       last ? alertCornerRadius : 0);
        if (!sideBySide || i == 0)
            builder.line({panel.origin.x, rect.origin.y}, {right(panel), rect.origin.y});
        if (sideBySide && i == 1)
            builder.line({rect.origin.x, rect.origin.y}, {rect.origin.x, bottom(rect)});
        const auto& action = actions[order[i]];
        builder.centredText(action->title().value_or(""),
                            actionFont(action->style(), alertFontSize),
                            actionColor(action->style()), rect);
    }
}

// The navigation bar of the picker: a title in the middle, Cancel on the right.
void drawBar(Builder& builder, Rect bar, const std::string& title) {
    builder.centredText(title, boldFont(barFontSize), primaryTextColor, bar);
    std::string cancel = "Cancel";
    Size size = measure(cancel, regularFont(barFontSize), 0);
    Rect rect{{right(bar) - size.width - 2 * 16, bar.origin.y},
              {size.width + 2 * 16, bar.height()}};
    builder.target({PresentedTargetRole::cancelPicker, rect, std::nullopt, {}}, 0);
    builder.centredText(cancel, regularFont(barFontSize), tintColor, rect);
    builder.line({bar.origin.x, bottom(bar)}, {right(bar), bottom(bar)});
}

void layoutCamera(Builder& builder) {
    const Size screen = builder.screen();
    const auto& insets = builder.environment().safeAreaInsets;
    // Black bars above and below the viewfinder, which shows the camera's
    // picture of the room; the shutter and Cancel in the lower bar.
    Rect topBar{{0, 0}, {screen.width, insets.top + barHeight}};
    double controlsTop = screen.height - insets.bottom - cameraControlsHeight;
    Rect controls{{0, controlsTop}, {screen.width, screen.height - controlsTop}};
    builder.fill(topBar, 0, cameraColor);
    builder.fill(controls, 0, cameraColor);
    builder.layout().panel = {{0, 0}, screen};
    builder.layout().viewfinder =
        Rect{{0, bottom(topBar)}, {screen.width, std::max(0.0, controlsTop - bottom(topBar))}};
    double rowY = controlsTop + (cameraControlsHeight - shutterSize) / 2;
    Rect shutter{{screen.width / 2 - shutterSize / 2, rowY}, {shutterSize, shutterSize}};
    builder.target({PresentedTargetRole::takePicture, shutter, std::nullopt, {}}, shutterSize / 2);
    builder.fill(shutter, shutterSize / 2, Color{1, 1, 1, 1});
    Rect inner{{shutter.origin.x + 6, shutter.origin.y + 6}, {shutterSize - 12, shutterSize - 12}};
    builder.fill(inner, inner.width() / 2, Color{0.9, 0.9, 0.9, 1});
    std::string cancel = "Cancel";
    Size size = measure(cancel, regularFont(barFontSize), 0);
    Rect cancelRect{{16, rowY}, {size.width + 16, shutterSize}};
    builder.target({PresentedTargetRole::cancelPicker, cancelRect, std::nullopt, {}}, 8);
    builder.centredText(cancel, regularFont(barFontSize), Color{1, 1, 1, 1}, cancelRect);
}

void layoutPicker(Builder& builder, ImagePickerController& picker) {
    if (picker.sourceType() == ImagePickerSourceType::camera) {
        layoutCamera(builder);
        return;
    }
    const Size screen = builder.screen();
    const auto& insets = builder.environment().safeAreaInsets;
    Rect panel;
    double topInset = 0, bottomInset = 0;
    bool popover = isPopover(picker, builder.environment());
    if (popover) {
        Placement placement =
            placePopover({pickerPopoverWidth, pickerPopoverHeight}, picker, builder.environment());
        drawPopoverPanel(builder, placement, panelColor);
        panel = placement.frame;
    } else {
        panel = {{0, 0}, screen};
        builder.fill(panel, 0, panelColor);
        builder.layout().panel = panel;
        topInset = insets.top;
        bottomInset = insets.bottom;
    }
    Rect bar{{panel.origin.x, panel.origin.y + topInset}, {panel.width(), barHeight}};

    // The grid of thumbnails, whole rows only, scrolled by rows.
    Rect grid{
        {panel.origin.x, bottom(bar) + separatorWidth},
        {panel.width(), std::max(0.0, bottom(panel) - bottomInset - bottom(bar) - separatorWidth)}};
    auto files = photoLibraryFiles(Device::current().photoLibrary);
    std::size_t columns =
        std::max(gridMinimumColumns,
                 static_cast<std::size_t>(grid.width() / (gridMinimumCell + gridSpacing)));
    double cell = (grid.width() - static_cast<double>(columns - 1) * gridSpacing) /
                  static_cast<double>(columns);
    std::size_t rows = (files.size() + columns - 1) / columns;
    std::size_t visible =
        cell > 0 ? static_cast<std::size_t>((grid.height() + gridSpacing) / (cell + gridSpacing))
                 : 0;
    std::size_t first =
        std::min(builder.environment().pickerFirstRow, rows > visible ? rows - visible : 0);
    builder.layout().pickerRowCount = rows;
    builder.layout().pickerVisibleRows = visible;

    // A full-screen picker shows its grid on white; a popover keeps its
    // panel's colour, so that its rounded corners stay round.
    if (!popover) builder.fill(grid, 0, gridColor);
    drawBar(builder, bar, "Photos");
    if (files.empty()) {
        builder.centredText("No Photos", boldFont(22), secondaryTextColor, grid);
        return;
    }
    for (std::size_t row = first; row < std::min(rows, first + visible); ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            std::size_t index = row * columns + column;
            if (index >= files.size()) break;
            Rect rect{{grid.origin.x + static_cast<double>(column) * (cell + gridSpacing),
                       grid.origin.y + static_cast<double>(row - first) * (cell + gridSpacing)},
                      {cell, cell}};
            builder.target({PresentedTargetRole::pickFile, rect, std::nullopt, files[index]}, 0);
            builder.thumbnail(rect, files[index]);
        }
    }
}

// The largest rectangle of `image`'s proportions inside `box`, centred.
Rect aspectFit(const graphics::Image& image, Rect box) {
    Size size = image.size();
    if (size.width <= 0 || size.height <= 0) return {{midX(box), midY(box)}, {0, 0}};
    double scale = std::min(box.width() / size.width, box.height() / size.height);
    Size fitted{size.width * scale, size.height * scale};
    return {{midX(box) - fitted.width / 2, midY(box) - fitted.height / 2}, fitted};
}

void layoutShare(Builder& builder, ActivityViewController& share) {
    const Size screen = builder.screen();
    const auto& insets = builder.environment().safeAreaInsets;
    auto image = share.firstImage();
    std::string caption;
    for (const auto& item : share.activityItems())
        if (auto* text = std::get_if<std::string>(&item)) {
            caption = *text;
            break;
        }
    const Font captionFont = regularFont(sheetHeaderFontSize);
    const std::string saveTitle = "Save to Pictures";
    const std::string cancelTitle = "Cancel";

    bool popover = isPopover(share, builder.environment());
    double width =
        popover ? sharePopoverWidth : std::min(screen.width - 2 * sheetMargin, sheetMaxWidth);
    double previewHeight =
        popover ? sharePopoverPreviewHeight : std::min(sharePreviewMaxHeight, screen.height * 0.45);
    Size captionSize = measure(caption, captionFont, width - 2 * sharePreviewPadding);
    double headerHeight = sharePreviewPadding + previewHeight +
                          (caption.empty() ? 0 : captionGap + captionSize.height) +
                          sharePreviewPadding;

    // The group: the preview, its caption and "Save to Pictures"; on a
    // phone Cancel sits apart below it, in a popover it is the last row.
    // Targets go in reading order, Cancel after Save.
    Rect group;
    Rect cancelRect;
    if (popover) {
        Placement placement =
            placePopover({width, headerHeight + 2 * sheetRowHeight}, share, builder.environment());
        drawPopoverPanel(builder, placement, panelColor);
        group = placement.frame;
        cancelRect = {{group.origin.x, group.origin.y + headerHeight + sheetRowHeight},
                      {width, sheetRowHeight}};
    } else {
        builder.dim(dimColor);
        double bottomEdge = screen.height - std::max(insets.bottom, sheetMargin);
        double x = (screen.width - width) / 2;
        cancelRect = {{x, bottomEdge - sheetRowHeight}, {width, sheetRowHeight}};
        double groupHeight = headerHeight + sheetRowHeight;
        group = {{x, cancelRect.origin.y - sheetGap - groupHeight}, {width, groupHeight}};
        builder.fill(group, sheetCornerRadius, panelColor);
        builder.layout().panel = group;
    }

    Rect previewBox{{group.origin.x + sharePreviewPadding, group.origin.y + sharePreviewPadding},
                    {width - 2 * sharePreviewPadding, previewHeight}};
    if (image) {
        Rect fitted = aspectFit(*image, previewBox);
        Rect border{{fitted.origin.x - 1, fitted.origin.y - 1},
                    {fitted.width() + 2, fitted.height() + 2}};
        builder.fill(border, 0, previewBorderColor);
        builder.picture(fitted, image);
    }
    if (!caption.empty())
        builder.centredText(caption, captionFont, secondaryTextColor,
                            {{previewBox.origin.x, bottom(previewBox) + captionGap},
                             {previewBox.width(), captionSize.height}});

    Rect saveRect{{group.origin.x, group.origin.y + headerHeight}, {width, sheetRowHeight}};
    builder.target({PresentedTargetRole::saveToPictures, saveRect, std::nullopt, {}},
                   popover ? 0 : sheetCornerRadius);
    builder.line({saveRect.origin.x, saveRect.origin.y}, {right(saveRect), saveRect.origin.y});
    builder.centredText(saveTitle, regularFont(sheetActionFontSize), tintColor, saveRect);

    if (popover) {
        builder.target({PresentedTargetRole::cancelShare, cancelRect, std::nullopt, {}},
                       sheetCornerRadius);
        builder.line({cancelRect.origin.x, cancelRect.origin.y},
                     {right(cancelRect), cancelRect.origin.y});
    } else {
        builder.fill(cancelRect, sheetCornerRadius, Color{1, 1, 1, 1});
        builder.target({PresentedTargetRole::cancelShare, cancelRect, std::nullopt, {}},
                       sheetCornerRadius);
    }
    builder.centredText(cancelTitle, boldFont(sheetActionFontSize), tintColor, cancelRect);
    // A click outside the sheet puts it away.
    builder.layout().targets.push_back(
        {PresentedTargetRole::cancelShare, {{0, 0}, screen}, std::nullopt, {}});
}

bool contains(const Rect& rect, Point point) {
    return point.x >= rect.origin.x && point.x < right(rect) && point.y >= rect.origin.y &&
           point.y < bottom(rect);
}

bool isPictureFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg" || extension == ".png";
}

}  // namespace

std::optional<std::size_t> PresentedLayout::targetIndexAt(graphics::Point point) const {
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (contains(targets[i].rect, point)) return i;
    return std::nullopt;
}

const PresentedTarget* PresentedLayout::targetAt(graphics::Point point) const {
    auto index = targetIndexAt(point);
    return index ? &targets[*index] : nullptr;
}

PresentedLayout layoutPresented(ViewController& presented,
                                const PresentedEnvironment& environment) {
    platform::require(graphics::hasBackend(), "layoutPresented",
                      "no graphics back end to measure text with");
    PresentedLayout layout;
    Builder builder(layout, environment);
    if (auto* alert = dynamic_cast<AlertController*>(&presented)) {
        switch (alert->preferredStyle()) {
            case AlertControllerStyle::actionSheet: layoutActionSheet(builder, *alert); break;
            case AlertControllerStyle::alert: layoutAlert(builder, *alert); break;
        }
    } else if (auto* picker = dynamic_cast<ImagePickerController*>(&presented)) {
        layoutPicker(builder, *picker);
    } else if (auto* share = dynamic_cast<ActivityViewController*>(&presented)) {
        layoutShare(builder, *share);
    }
    return layout;
}

std::vector<std::filesystem::path> photoLibraryFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    if (folder.empty()) return files;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && isPictureFile(it->path())) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.filename().string() < b.filename().string();
    });
    return files;
}

}  // namespace ui
