#include "platform/render/PresentedPainter.h"

#include <cmath>
#include <numbers>
#include <system_error>

#include "platform/Files.h"
#include "platform/Overloaded.h"
#include "platform/render/ImageMapping.h"

namespace render {

namespace {
// Thumbnails are decoded no larger than this: a cell is a few hundred
// pixels at most, and large photos would make the picker slow to open.
constexpr int thumbnailDecodeSide = 512;
constexpr std::size_t maxPhotoBytes = 256u << 20;
// Files whose thumbnails are kept; more are forgotten all at once.
constexpr std::size_t maxThumbnails = 512;

// The middle square of `bitmap`, copied.
std::shared_ptr<graphics::Bitmap> middleSquare(const graphics::Bitmap& bitmap) {
    int side = std::min(bitmap.width(), bitmap.height());
    int x0 = (bitmap.width() - side) / 2, y0 = (bitmap.height() - side) / 2;
    auto square = std::make_shared<graphics::Bitmap>(side, side, bitmap.format());
    for (int y = 0; y < side; ++y)
        std::copy_n(bitmap.data() + static_cast<std::size_t>(y0 + y) * bitmap.bytesPerRow() +
                        static_cast<std::size_t>(x0) * 4,
                    static_cast<std::size_t>(side) * 4,
                    square->data() + static_cast<std::size_t>(y) * square->bytesPerRow());
    return square;
}

void paintArrow(const ui::PresentedArrow& arrow, graphics::Canvas& canvas,
                const graphics::AffineTransform& toPixels) {
    // A square turned by 45° whose centre lies on the panel's edge: the
    // panel, painted next, covers its inner half and leaves the triangle.
    double h = arrow.height;
    graphics::Point centre = arrow.tip;
    switch (arrow.direction) {
        case ui::PopoverArrowDirection::up: centre.y += h; break;
        case ui::PopoverArrowDirection::down: centre.y -= h; break;
        case ui::PopoverArrowDirection::left: centre.x += h; break;
        case ui::PopoverArrowDirection::right: centre.x -= h; break;
        case ui::PopoverArrowDirection::any: break;
    }
    double side = h * std::numbers::sqrt2;
    auto transform =
        graphics::rotate(graphics::translate(toPixels, centre.x, centre.y), std::numbers::pi / 4);
    canvas.fillRect({{-side / 2, -side / 2}, {side, side}}, arrow.color, transform);
}

void paintPicture(const graphics::Bitmap& bitmap, graphics::ImageOrientation orientation,
                  const graphics::Rect& rect, graphics::Canvas& canvas,
                  const graphics::AffineTransform& toPixels) {
    if (bitmap.width() == 0 || bitmap.height() == 0) return;
    auto transform = storedToRect(orientation, bitmap.width(), bitmap.height(), rect);
    canvas.drawBitmap(bitmap, graphics::concat(transform, toPixels));
}
}  // namespace

const ThumbnailCache::Thumbnail* ThumbnailCache::thumbnail(const std::filesystem::path& file) {
    std::error_code error;
    Key key{file, std::filesystem::file_size(file, error), {}};
    if (error) return nullptr;
    key.modified = std::filesystem::last_write_time(file, error);
    if (error) return nullptr;
    if (auto it = thumbnails_.find(key); it != thumbnails_.end())
        return it->second ? &*it->second : nullptr;
    if (thumbnails_.size() >= maxThumbnails) thumbnails_.clear();

    std::optional<Thumbnail> made;
    if (auto bytes = platform::readFile(file, maxPhotoBytes)) {
        graphics::DecodeLimits limits;
        limits.maxSide = thumbnailDecodeSide;
        if (auto image = graphics::backend().decodeImage(bytes.value(), limits)) {
            const auto& stored = image.value()->cgImage();
            if (stored && stored->width() > 0 && stored->height() > 0)
                made = Thumbnail{middleSquare(*stored), image.value()->imageOrientation()};
        }
    }
    auto [it, inserted] = thumbnails_.emplace(key, std::move(made));
    return it->second ? &*it->second : nullptr;
}

// A picture that cannot be read: a grey tile crossed out, so that it is
// seen to be broken rather than taken for an empty one.
void paintBroken(const graphics::Rect& rect, graphics::Canvas& canvas,
                 const graphics::AffineTransform& pointsToPixels) {
    const graphics::Color tile{0.85, 0.85, 0.87, 1}, cross{0.55, 0.55, 0.58, 1};
    canvas.fillRect(rect, tile, pointsToPixels);
    const double inset = rect.width() * 0.3;
    graphics::Point a{rect.origin.x + inset, rect.origin.y + inset};
    graphics::Point b{rect.right() - inset, rect.bottom() - inset};
    canvas.strokeLine(a, b, 3, cross, pointsToPixels);
    canvas.strokeLine({b.x, a.y}, {a.x, b.y}, 3, cross, pointsToPixels);
}

void paintPresented(const ui::PresentedLayout& layout, graphics::Canvas& canvas,
                    const graphics::AffineTransform& pointsToPixels, ThumbnailCache& thumbnails) {
    for (const auto& shape : layout.shapes) {
        std::visit(
            platform::Overloaded{
                [&](const ui::PresentedFill& fill) {
                    if (fill.cornerRadius > 0)
                        canvas.fillRoundedRect(fill.rect, fill.cornerRadius, fill.color,
                                               pointsToPixels);
                    else
                        canvas.fillRect(fill.rect, fill.color, pointsToPixels);
                },
                [&](const ui::PresentedArrow& arrow) { paintArrow(arrow, canvas, pointsToPixels); },
                [&](const ui::PresentedLine& line) {
                    canvas.strokeLine(line.from, line.to, line.width, line.color, pointsToPixels);
                },
                [&](const ui::PresentedText& text) {
                    canvas.drawText(text.text, text.rect, text.font, text.color, pointsToPixels);
                },
                [&](const ui::PresentedPicture& picture) {
                    if (picture.image && picture.image->cgImage())
                        paintPicture(*picture.image->cgImage(), picture.image->imageOrientation(),
                                     picture.rect, canvas, pointsToPixels);
                },
                [&](const ui::PresentedThumbnail& thumbnail) {
                    if (const auto* made = thumbnails.thumbnail(thumbnail.file))
                        paintPicture(*made->square, made->orientation, thumbnail.rect, canvas,
                                     pointsToPixels);
                    else
                        paintBroken(thumbnail.rect, canvas, pointsToPixels);
                },
            },
            shape);
    }
}

}  // namespace render
