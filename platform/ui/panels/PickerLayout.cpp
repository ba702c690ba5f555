// The image picker: the photo library's grid of thumbnails, full screen on a
// phone and as a popover on a pad, or the camera with its viewfinder.
#include <cstdlib>

#include "platform/ui/PhotoLibrary.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/panels/Panels.h"

namespace ui::panels {

namespace {
constexpr double folderLineHeight = 24;

// A folder as people read it: the home folder as "~".
std::string shownFolderName(const std::filesystem::path& folder) {
    std::string text = folder.string();
    const char* home = std::getenv("HOME");
    std::string prefix = home ? std::string(home) : std::string();
    if (!prefix.empty() && prefix != "/" && text.rfind(prefix, 0) == 0 &&
        (text.size() == prefix.size() || text[prefix.size()] == '/'))
        text = "~" + text.substr(prefix.size());
    return text;
}

// The navigation bar of the picker: a title in the middle, Cancel on the right.
void drawBar(Builder& builder, Rect bar, const std::string& title) {
    builder.centredText(title, boldFont(barFontSize), primaryTextColor, bar);
    std::string cancel = platformTexts().cancel;
    Size size = measure(cancel, regularFont(barFontSize), 0);
    Rect rect{{bar.right() - size.width - 2 * 16, bar.origin.y},
              {size.width + 2 * 16, bar.height()}};
    builder.target({PresentedTargetRole::cancelPicker, rect, std::nullopt, {}}, 0);
    builder.centredText(cancel, regularFont(barFontSize), tintColor, rect);
    builder.line({bar.origin.x, bar.bottom()}, {bar.right(), bar.bottom()});
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
        Rect{{0, topBar.bottom()}, {screen.width, std::max(0.0, controlsTop - topBar.bottom())}};
    double rowY = controlsTop + (cameraControlsHeight - shutterSize) / 2;
    Rect shutter{{screen.width / 2 - shutterSize / 2, rowY}, {shutterSize, shutterSize}};
    builder.target({PresentedTargetRole::takePicture, shutter, std::nullopt, {}}, shutterSize / 2);
    builder.fill(shutter, shutterSize / 2, Color{1, 1, 1, 1});
    Rect inner{{shutter.origin.x + 6, shutter.origin.y + 6}, {shutterSize - 12, shutterSize - 12}};
    builder.fill(inner, inner.width() / 2, Color{0.9, 0.9, 0.9, 1});
    std::string cancel = platformTexts().cancel;
    Size size = measure(cancel, regularFont(barFontSize), 0);
    Rect cancelRect{{16, rowY}, {size.width + 16, shutterSize}};
    builder.target({PresentedTargetRole::cancelPicker, cancelRect, std::nullopt, {}}, 8);
    builder.centredText(cancel, regularFont(barFontSize), Color{1, 1, 1, 1}, cancelRect);
}

}  // namespace

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
    // Which folder the picker shows, under the bar.
    Rect folderLine{{panel.origin.x + alertTextInset, bar.bottom() + separatorWidth},
                    {panel.width() - 2 * alertTextInset, folderLineHeight}};

    // The grid of thumbnails, whole rows only, scrolled by rows.
    Rect grid{{panel.origin.x, folderLine.bottom()},
              {panel.width(), std::max(0.0, panel.bottom() - bottomInset - folderLine.bottom())}};
    auto files = photoLibraryFiles(builder.environment().photoLibrary);
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
    drawBar(builder, bar, platformTexts().photos);
    builder.centredText(shownFolderName(builder.environment().photoLibrary),
                        regularFont(sheetHeaderFontSize), secondaryTextColor, folderLine);
    if (files.empty()) {
        builder.centredText(platformTexts().noPhotos, boldFont(22), secondaryTextColor, grid);
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

}  // namespace ui::panels
