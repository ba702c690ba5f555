#include "platform/Precondition.h"
#include "platform/graphics/Backend.h"
#include "platform/ui/panels/Panels.h"

namespace ui::panels {

namespace {
// The system font's bold face, as the graphics back end resolves names.
constexpr const char* boldSystemFontName = "DejaVu Sans Bold";
}  // namespace

Font regularFont(double size) { return Font::systemFont(size); }
Font boldFont(double size) { return Font::named(boldSystemFontName, size); }

Size measure(const std::string& text, const Font& font, double maxWidth) {
    if (text.empty()) return {0, 0};
    return graphics::backend().measureText(text, font, maxWidth);
}

// The text's rectangle reaches from where the text starts to the box's
// right edge: drawn at a screen's scale, hinted glyphs may come out a
// little wider than measured, and must not wrap for that.
void Builder::centredText(const std::string& text, const Font& font, Color color, Rect box) {
    if (text.empty()) return;
    Size size = measure(text, font, box.width());
    double left = box.midX() - std::min(size.width, box.width()) / 2;
    Rect rect{{left, box.midY() - size.height / 2}, {box.right() - left, size.height + 1}};
    layout_.shapes.push_back(PresentedText{rect, text, font, color});
}

void Builder::text(const std::string& text, const Font& font, Color color, Point origin) {
    if (text.empty()) return;
    Size size = measure(text, font, 0);
    layout_.shapes.push_back(
        PresentedText{{origin, {size.width + 1, size.height + 1}}, text, font, color});
}

bool isPopover(ViewController& controller, const PresentedEnvironment& environment) {
    return environment.idiom == UserInterfaceIdiom::pad &&
           controller.modalPresentationStyle() == ModalPresentationStyle::popover;
}

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
                return {room, std::max(0.0, maxY - (source.bottom() + popoverArrowHeight))};
            case PopoverArrowDirection::down:
                return {room, std::max(0.0, source.origin.y - popoverArrowHeight - minY)};
            case PopoverArrowDirection::left:
                return {std::max(0.0, maxX - (source.right() + popoverArrowHeight)), roomY};
            case PopoverArrowDirection::right:
                return {std::max(0.0, source.origin.x - popoverArrowHeight - minX), roomY};
            case PopoverArrowDirection::any: return {room, roomY};
        }
        platform::unreachable("placePopover");
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
                std::clamp(source.midX() - size.width / 2, minX, std::max(minX, maxX - size.width));
            double y = direction == PopoverArrowDirection::up
                           ? source.bottom() + popoverArrowHeight
                           : source.origin.y - popoverArrowHeight - size.height;
            placement.frame = {{x, y}, size};
            placement.tip = {
                clampTip(source.midX(), x + edge, x + size.width - edge),
                direction == PopoverArrowDirection::up ? source.bottom() : source.origin.y};
            break;
        }
        case PopoverArrowDirection::left:
        case PopoverArrowDirection::right: {
            double y = std::clamp(source.midY() - size.height / 2, minY,
                                  std::max(minY, maxY - size.height));
            double x = direction == PopoverArrowDirection::left
                           ? source.right() + popoverArrowHeight
                           : source.origin.x - popoverArrowHeight - size.width;
            placement.frame = {{x, y}, size};
            placement.tip = {
                direction == PopoverArrowDirection::left ? source.right() : source.origin.x,
                clampTip(source.midY(), y + edge, y + size.height - edge)};
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

}  // namespace ui::panels
