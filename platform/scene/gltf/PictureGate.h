// The drawing's picture budget. Every picture a scene file shows is
// checked by the size its header claims, each alone and all together,
// before any of them is decoded; one that is not a PNG or JPEG picture,
// has no pixels, or decodes to another size than it claims is refused.
// The pictures let in are read from the file one at a time, each distinct
// one once, and kept as their own bytes for saving again.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/scene/gltf/Document.h"
#include "platform/scene/gltf/GlbContainer.h"

namespace scene::gltf {

class PictureGate {
public:
    PictureGate(const Document& document, const GlbSource& source, const GlbChunks& chunks,
                const Limits& limits)
        : d_(document), source_(source), chunks_(chunks), limits_(limits) {}

    // Checks the images marked in `used` (one mark an image) against the
    // limits, then decodes them.
    platform::Result<void> admit(const std::vector<bool>& used);

    // The picture a texture shows: its image's pixels with the scale,
    // orientation and alpha layout our extension gives. Its image must
    // have been let in.
    std::shared_ptr<const graphics::Image> pictureOf(std::uint32_t texture);

private:
    const Document& d_;
    const GlbSource& source_;
    const GlbChunks& chunks_;
    const Limits& limits_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> bitmaps_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> opaqueBitmaps_;
    std::vector<std::shared_ptr<const graphics::Image>> pictures_;
    std::vector<std::uint8_t> scratch_;

    std::pair<std::uint64_t, std::uint64_t> pictureRange(std::uint32_t image) const;
    std::shared_ptr<const graphics::Bitmap> bitmapOf(std::uint32_t image, bool opaque);
};

}  // namespace scene::gltf
