// Alerts in the middle of the screen, and action sheets: along the bottom
// edge on a phone, as a popover on a pad.
#include "platform/Precondition.h"
#include "platform/ui/panels/Panels.h"

namespace ui::panels {

namespace {
// The action Enter chooses is drawn bold: the preferred one, or else the
// one that cancels.
Font actionFont(const AlertController& alert, const AlertAction& action, double size) {
    bool bold = alert.preferredAction() ? alert.preferredAction().get() == &action
                                        : action.style() == AlertActionStyle::cancel;
    return bold ? boldFont(size) : regularFont(size);
}

Color actionColor(AlertActionStyle style) {
    switch (style) {
        case AlertActionStyle::destructive: return destructiveColor;
        case AlertActionStyle::defaultStyle:
        case AlertActionStyle::cancel: return tintColor;
    }
    platform::unreachable("actionColor");
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
            builder.line({rect.origin.x, rect.origin.y}, {rect.right(), rect.origin.y});
        builder.centredText(action->title().value_or(""),
                            actionFont(alert, *action, sheetActionFontSize),
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
}  // namespace

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
                            actionFont(alert, *action, sheetActionFontSize),
                            actionColor(action->style()), cancelRect);
    }
    // A click on the dimmed screen above the sheet cancels it.
    if (cancel)
        builder.layout().targets.push_back(
            {PresentedTargetRole::outside, {{0, 0}, screen}, cancel, {}});
}

void layoutAlert(Builder& builder, AlertController& alert) {
    const Size screen = builder.screen();
    const auto& insets = builder.environment().safeAreaInsets;
    const double room =
        std::max(0.0, screen.height - 2 * screenMargin - insets.top - insets.bottom);
    // Without a title the message reads as one, in bold.
    std::string title = alert.title().value_or("");
    std::string message = alert.message().value_or("");
    Font titleFont = boldFont(alertFontSize);
    Font messageFont = title.empty() ? boldFont(alertFontSize) : regularFont(alertMessageFontSize);

    // Two actions sit side by side when both titles fit, the cancel action
    // on the left; otherwise they are stacked with the cancel action last.
    const auto& actions = alert.actions();
    // Not a structured binding: the lambdas below use `order`, and the
    // browser build's compiler cannot capture one.
    auto split = splitCancel(alert);
    std::vector<std::size_t> order = std::move(split.first);
    const std::optional<std::size_t> cancel = split.second;
    if (cancel) order.insert(actions.size() == 2 ? order.begin() : order.end(), *cancel);
    auto buttonsFit = [&](double width) {
        bool sideBySide = actions.size() == 2;
        for (std::size_t index : order) {
            const auto& action = actions[index];
            double titleWidth =
                measure(action->title().value_or(""), actionFont(alert, *action, alertFontSize), 0)
                    .width;
            if (titleWidth > width / 2 - 2 * 8) sideBySide = false;
        }
        return sideBySide;
    };

    // A message too long for the screen first widens the alert where there
    // is room, then takes a smaller font, and only then is cut short.
    double width = std::min(alertWidth, screen.width - 2 * screenMargin);
    const double widest = std::min(alertWidestWidth, screen.width - 2 * screenMargin);
    Size titleSize, messageSize;
    double gap = title.empty() || message.empty() ? 0 : 4;
    bool sideBySide = false;
    double buttonsHeight = 0, headerHeight = 0;
    auto measureAt = [&](double panelWidth) {
        const double textWidth = panelWidth - 2 * alertTextInset;
        titleSize = measure(title, titleFont, textWidth);
        messageSize = measure(message, messageFont, textWidth);
        sideBySide = buttonsFit(panelWidth);
        buttonsHeight = (sideBySide ? 1.0 : static_cast<double>(order.size())) * alertRowHeight;
        headerHeight = title.empty() && message.empty()
                           ? 0
                           : 2 * alertPadding + titleSize.height + gap + messageSize.height;
        return headerHeight + buttonsHeight <= room;
    };
    if (!measureAt(width) && widest > width) width = widest;
    while (!measureAt(width) && messageFont.pointSize > alertSmallestMessageFontSize)
        messageFont.pointSize -= 1;
    if (headerHeight + buttonsHeight > room) {
        messageSize.height =
            std::max(0.0, messageSize.height - (headerHeight + buttonsHeight - room));
        headerHeight = room - buttonsHeight;
    }
    const double textWidth = width - 2 * alertTextInset;
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
            builder.line({panel.origin.x, rect.origin.y}, {panel.right(), rect.origin.y});
        if (sideBySide && i == 1)
            builder.line({rect.origin.x, rect.origin.y}, {rect.origin.x, rect.bottom()});
        const auto& action = actions[order[i]];
        builder.centredText(action->title().value_or(""), actionFont(alert, *action, alertFontSize),
                            actionColor(action->style()), rect);
    }
}

}  // namespace ui::panels
