// The graphics back end: the one place that turns drawing requests into
// pixels and bytes into images. Each application has one from launch; the
// image and bitmap contexts, text measurement and photo decoding all go
// through it, so nothing above this line knows which library draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace graphics {

// A bitmap being drawn into. Every operation takes the transform from its own
// coordinates to the canvas' pixels (origin at the top-left pixel corner,
// y downwards), so callers keep their own coordinate conventions.
class Canvas {
public:
    virtual ~Canvas() = default;

    // Draws `bitmap` with `imageToPixels` mapping the bitmap's pixel space
    // (origin at its top-left corner, y downwards, one unit a pixel) into the
    // canvas. Where the mapping only moves whole pixels and turns by quarter
    // turns or mirrors, pixels are copied exactly, without resampling.
    virtual void drawBitmap(const Bitmap& bitmap, const AffineTransform& imageToPixels) = 0;

    // Draws `text` laid out from the top-left corner of `rect`, wrapped at
    // its width and clipped to it, in `font` and `color` (colour glyphs keep
    // their own colours). Returns the first line's baseline, in the caller's
    // units below the rectangle's top.
    virtual double drawText(std::string_view text, const Rect& rect, const Font& font,
                            const Color& color, const AffineTransform& userToPixels) = 0;

    // Filled shapes, for drawing the framework's own panels and buttons.
    virtual void fillRect(const Rect& rect, const Color& color,
                          const AffineTransform& userToPixels) = 0;
    virtual void fillRoundedRect(const Rect& rect, double radius, const Color& color,
                                 const AffineTransform& userToPixels) = 0;
    virtual void fillEllipse(const Rect& rect, const Color& color,
                             const AffineTransform& userToPixels) = 0;
    virtual void strokeLine(Point from, Point to, double lineWidth, const Color& color,
                            const AffineTransform& userToPixels) = 0;

    // The pixels drawn so far, as a new bitmap.
    virtual std::shared_ptr<Bitmap> makeBitmap() const = 0;
};

// Where a decoded photo may be scaled down to keep memory bounded.
struct DecodeLimits {
    // Images with a longer side than this are scaled down on decoding,
    // keeping their proportions. A photo hangs as a plane 1 metre wide
    // 1.1 metres ahead: a phone's rear camera (26 mm, about 70° across its
    // long side) sees some 1.5 metres there, so the photo covers two thirds
    // of the screen's long side, under 1,800 of a phone's 2,400 to 2,800
    // pixels. 2048 pixels keep every screen pixel its own texel from there
    // and a step closer, and take a quarter of the memory 4096 took.
    int maxSide = 2048;
    // Images whose stored size claims more pixels than this on either side
    // are refused before anything is allocated.
    int maxStoredSide = 65535;
    // Images that would need more memory than this for their pixels while
    // being decoded (before any scaling down that the decoder cannot do
    // itself) are refused before anything is allocated.
    std::size_t maxDecodeBytes = std::size_t{256} << 20;
};

class Backend {
public:
    virtual ~Backend() = default;

    // A transparent canvas of `width` by `height` pixels in `format`, or
    // none when the back end cannot draw in that format or size.
    virtual std::unique_ptr<Canvas> makeCanvas(int width, int height,
                                               const BitmapFormat& format) = 0;

    // The size, in points, that `text` takes in `font` when laid out no
    // wider than `maxWidth` (0 for unlimited).
    virtual Size measureText(std::string_view text, const Font& font, double maxWidth) = 0;

    // A photo or picture file's bytes (JPEG or PNG) as an image whose
    // orientation tag comes from the file's EXIF orientation.
    virtual platform::Result<std::shared_ptr<Image>> decodeImage(
        std::span<const std::uint8_t> bytes, const DecodeLimits& limits) = 0;

    virtual platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) = 0;
    // An opaque bitmap as a JPEG file of `quality` (1 to 100).
    virtual platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap,
                                                                   int quality) = 0;
};

// Whether the graphics context in force on this thread (Context.h) has a
// back end; the application's launch description decides which.
bool hasBackend();
// That back end; a missing one is a broken precondition.
Backend& backend();

}  // namespace graphics
