// Paints the framework's presented panels with the graphics back end's
// canvas, from the shapes their layout lists, so that the picture and the
// click targets come from one place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>

#include "platform/graphics/Backend.h"
#include "platform/ui/PresentedLayout.h"

namespace render {

// Thumbnails of picture files, decoded small and cut square once, kept
// while the file is unchanged.
class ThumbnailCache {
public:
    struct Thumbnail {
        std::shared_ptr<const graphics::Bitmap> square;
        graphics::ImageOrientation orientation = graphics::ImageOrientation::up;
    };
    // The thumbnail of `file`, or none when it cannot be read as a picture.
    const Thumbnail* thumbnail(const std::filesystem::path& file);

private:
    struct Key {
        std::filesystem::path file;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified;
        friend bool operator<(const Key& a, const Key& b) {
            if (a.file != b.file) return a.file < b.file;
            if (a.size != b.size) return a.size < b.size;
            return a.modified < b.modified;
        }
    };
    std::map<Key, std::optional<Thumbnail>> thumbnails_;
};

// Paints `layout` onto `canvas`, with `pointsToPixels` from screen points to
// the canvas' pixels.
void paintPresented(const ui::PresentedLayout& layout, graphics::Canvas& canvas,
                    const graphics::AffineTransform& pointsToPixels, ThumbnailCache& thumbnails);

}  // namespace render
