// The share sheet: a preview of the picture with its caption, "Save to
// Pictures" and Cancel.
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/panels/Panels.h"

namespace ui::panels {

namespace {
// The largest rectangle of `image`'s proportions inside `box`, centred.
Rect aspectFit(const graphics::Image& image, Rect box) {
    Size size = image.size();
    if (size.width <= 0 || size.height <= 0) return {{box.midX(), box.midY()}, {0, 0}};
    double scale = std::min(box.width() / size.width, box.height() / size.height);
    Size fitted{size.width * scale, size.height * scale};
    return {{box.midX() - fitted.width / 2, box.midY() - fitted.height / 2}, fitted};
}

}  // namespace

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
    const std::string saveTitle = platformTexts().saveToPictures;
    const std::string cancelTitle = platformTexts().cancel;

    bool popover = isPopover(share, builder.environment());
    double width =
        popover ? sharePopoverWidth : std::min(screen.width - 2 * sheetMargin, sheetMaxWidth);
    double previewHeight =
        popover ? sharePopoverPreviewHeight : std::min(sharePreviewMaxHeight, screen.height * 0.45);
    Size captionSize = measure(caption, captionFont, width - 2 * sharePreviewPadding);
    // Everything but the preview, which gives way where the screen is short,
    // and then the rows, down to what still takes a finger.
    double rowHeight = sheetRowHeight;
    auto fixedHeight = [&] {
        return 2 * sharePreviewPadding + (caption.empty() ? 0 : captionGap + captionSize.height) +
               2 * rowHeight + (popover ? 0 : sheetGap);
    };
    auto fitInto = [&](double room) {
        previewHeight = std::clamp(room - fixedHeight(), 0.0, previewHeight);
        if (previewHeight < shareMinimumPreviewHeight) {
            previewHeight =
                std::min(shareMinimumPreviewHeight, std::max(0.0, room - fixedHeight()));
            rowHeight = std::clamp((room - fixedHeight() + 2 * rowHeight - previewHeight) / 2,
                                   sheetMinRowHeight, sheetRowHeight);
        }
    };
    auto headerHeight = [&] {
        return sharePreviewPadding + previewHeight +
               (caption.empty() ? 0 : captionGap + captionSize.height) + sharePreviewPadding;
    };

    // The group: the preview, its caption and "Save to Pictures"; on a
    // phone Cancel sits apart below it, in a popover it is the last row.
    // Targets go in reading order, Cancel after Save.
    Rect group;
    Rect cancelRect;
    if (popover) {
        Placement placement =
            placePopover({width, headerHeight() + 2 * rowHeight}, share, builder.environment());
        fitInto(placement.frame.height());
        drawPopoverPanel(builder, placement, panelColor);
        group = placement.frame;
        // A screen narrower than the popover narrows it.
        width = group.width();
        cancelRect = {{group.origin.x, group.origin.y + headerHeight() + rowHeight},
                      {width, rowHeight}};
    } else {
        builder.dim(dimColor);
        double bottomEdge = screen.height - std::max(insets.bottom, sheetMargin);
        fitInto(bottomEdge - (insets.top + sheetMargin));
        double x = (screen.width - width) / 2;
        cancelRect = {{x, bottomEdge - rowHeight}, {width, rowHeight}};
        double groupHeight = headerHeight() + rowHeight;
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
                            {{previewBox.origin.x, previewBox.bottom() + captionGap},
                             {previewBox.width(), captionSize.height}});

    Rect saveRect{{group.origin.x, group.origin.y + headerHeight()}, {width, rowHeight}};
    builder.target({PresentedTargetRole::saveToPictures, saveRect, std::nullopt, {}},
                   popover ? 0 : sheetCornerRadius);
    builder.line({saveRect.origin.x, saveRect.origin.y}, {saveRect.right(), saveRect.origin.y});
    builder.centredText(saveTitle, regularFont(sheetActionFontSize), tintColor, saveRect);

    if (popover) {
        builder.target({PresentedTargetRole::cancelShare, cancelRect, std::nullopt, {}},
                       sheetCornerRadius);
        builder.line({cancelRect.origin.x, cancelRect.origin.y},
                     {cancelRect.right(), cancelRect.origin.y});
    } else {
        builder.fill(cancelRect, sheetCornerRadius, Color{1, 1, 1, 1});
        builder.target({PresentedTargetRole::cancelShare, cancelRect, std::nullopt, {}},
                       sheetCornerRadius);
    }
    builder.centredText(cancelTitle, boldFont(sheetActionFontSize), tintColor, cancelRect);
    // A click outside the sheet puts it away.
    builder.layout().targets.push_back(
        {PresentedTargetRole::outside, {{0, 0}, screen}, std::nullopt, {}});
}

}  // namespace ui::panels
