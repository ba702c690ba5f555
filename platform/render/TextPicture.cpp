#include "platform/render/TextPicture.h"

#include <cmath>
#include <string>

#include "platform/graphics/Backend.h"

namespace render {

namespace {
// Coverage from which a pixel counts as ink when looking for glyph edges.
constexpr std::uint8_t inkAlpha = 128;

std::shared_ptr<graphics::Bitmap> draw(std::string_view text, const graphics::Font& font,
                                       const graphics::Color& color, double scale,
                                       graphics::Size size) {
    int width = static_cast<int>(std::ceil(size.width * scale)) + 2;
    int height = static_cast<int>(std::ceil(size.height * scale)) + 2;
    auto canvas = graphics::backend().makeCanvas(width, height, {});
    if (!canvas) return nullptr;
    graphics::Rect rect{{0, 0}, {size.width + 2 / scale, size.height + 2 / scale}};
    canvas->drawText(text, rect, font, color, {scale, 0, 0, scale, 0, 0});
    return canvas->makeBitmap();
}

// The first row from the top (or the last, from the bottom) with ink in the
// columns [fromColumn, toColumn); -1 when there is none.
int inkRow(const graphics::Bitmap& bitmap, int fromColumn, int toColumn, bool fromTop) {
    fromColumn = std::max(fromColumn, 0);
    toColumn = std::min(toColumn, bitmap.width());
    for (int i = 0; i < bitmap.height(); ++i) {
        int y = fromTop ? i : bitmap.height() - 1 - i;
        const std::uint8_t* row =
            bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        for (int x = fromColumn; x < toColumn; ++x)
            if (row[static_cast<std::size_t>(x) * 4 + 3] >= inkAlpha) return y;
    }
    return -1;
}
}  // namespace

std::optional<TextPicture> drawTextPicture(std::string_view text, const graphics::Font& font,
                                           const graphics::Color& color, double scale) {
    if (text.empty() || scale <= 0) return std::nullopt;
    auto& backend = graphics::backend();
    graphics::Size size = backend.measureText(text, font, 0);
    if (size.width <= 0 || size.height <= 0) return std::nullopt;
    auto bitmap = draw(text, font, color, scale, size);
    if (!bitmap) return std::nullopt;

    // The baseline, found by drawing: a capital H sits on the baseline, so
    // the same text behind an H shows where the baseline is. Emoji and
    // Chinese glyphs come from other fonts and may push the line's baseline
    // down, so the H's baseline is carried over through the offset between
    // the text's top edge in the two pictures.
    const std::string probe = "H";
    graphics::Size probeSize = backend.measureText(probe, font, 0);
    std::string probed = probe + std::string(text);
    auto withProbe =
        draw(probed, font, graphics::Color::black(), scale, backend.measureText(probed, font, 0));
    double baseline = size.height * scale * 0.8;
    if (withProbe) {
        int probeColumns = static_cast<int>(std::floor(probeSize.width * scale));
        int probeBottom = inkRow(*withProbe, 0, probeColumns, false);
        int textTopWithProbe = inkRow(*withProbe, probeColumns + 1, withProbe->width(), true);
        int textTop = inkRow(*bitmap, 0, bitmap->width(), true);
        if (probeBottom >= 0) {
            baseline = probeBottom + 1;
            if (textTop >= 0 && textTopWithProbe >= 0) baseline -= textTopWithProbe - textTop;
        }
    }
    return TextPicture{bitmap, baseline, size.width * scale, size.height * scale};
}

}  // namespace render
