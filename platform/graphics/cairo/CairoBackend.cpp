#include "platform/graphics/cairo/CairoBackend.h"

#include <cairo.h>

#include "platform/graphics/cairo/CairoOwners.h"
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <pango/pangocairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "platform/Precondition.h"
#include "platform/graphics/cairo/Codecs.h"
#include "platform/graphics/cairo/TextLayouts.h"
#include "platform/graphics/stb/PngEncoder.h"

namespace graphics {

namespace {

cairo_matrix_t toCairo(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

void setColor(cairo_t* cr, const Color& color) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

// A mapping that only moves whole pixels and turns by quarter turns or
// mirrors, with its entries rounded to those whole numbers: every pixel
// centre lands on a pixel centre, so nearest-pixel sampling copies the
// pixels exactly. Rotations by multiples of π/2 leave entries such as
// 6e-17 where 0 is meant; they count as whole.
std::optional<AffineTransform> pixelExact(const AffineTransform& t) {
    auto whole = [](double v, double& rounded) {
        rounded = std::round(v);
        return std::isfinite(v) && std::fabs(v - rounded) < 1e-9;
    };
    AffineTransform r;
    if (!whole(t.a, r.a) || !whole(t.b, r.b) || !whole(t.c, r.c) || !whole(t.d, r.d) ||
        !whole(t.tx, r.tx) || !whole(t.ty, r.ty))
        return std::nullopt;
    auto unit = [](double v) { return v == 1 || v == -1; };
    bool straight = unit(r.a) && unit(r.d) && r.b == 0 && r.c == 0;
    bool quarterTurn = unit(r.b) && unit(r.c) && r.a == 0 && r.d == 0;
    if (!straight && !quarterTurn) return std::nullopt;
    return r;
}

// Our RGBA bytes into cairo's native-endian ARGB words, and back; both
// keep alpha premultiplied. On a little-endian machine the two differ only
// in the places of red and blue, so one swap does both ways, written on
// whole words so that the compiler turns it into vector code: every sprite
// image passes through here.
void swapRedAndBlue(const std::uint8_t* in, std::uint8_t* out, int width, bool opaque) {
    if constexpr (std::endian::native == std::endian::little) {
        int x = 0;
#if defined(__SSE2__)
        // Four pixels a step in one vector register.
        const __m128i keepVector = _mm_set1_epi32(static_cast<int>(0xff00ff00u));
        const __m128i swapVector = _mm_set1_epi32(0x00ff00ff);
        const __m128i alphaVector = _mm_set1_epi32(opaque ? static_cast<int>(0xff000000u) : 0);
        for (; x + 4 <= width; x += 4) {
            __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
            __m128i swapped = _mm_and_si128(pixels, swapVector);
            swapped = _mm_or_si128(_mm_srli_epi32(swapped, 16), _mm_slli_epi32(swapped, 16));
            pixels =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(pixels, keepVector), swapped), alphaVector);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), pixels);
        }
#endif
        // Two pixels a step in one 64-bit word.
        const std::uint64_t alpha = opaque ? 0xff000000ff000000ull : 0;
        constexpr std::uint64_t keep = 0xff00ff00ff00ff00ull, low = 0x000000ff000000ffull;
        for (; x + 2 <= width; x += 2) {
            std::uint64_t pair;
            std::memcpy(&pair, in + 4 * x, 8);
            pair = (pair & keep) | ((pair >> 16) & low) | ((pair & low) << 16) | alpha;
            std::memcpy(out + 4 * x, &pair, 8);
        }
        for (; x < width; ++x) {
            std::uint32_t word;
            std::memcpy(&word, in + 4 * x, 4);
            word = (word & 0xff00ff00u) | ((word >> 16) & 0xffu) | ((word & 0xffu) << 16) |
                   static_cast<std::uint32_t>(alpha);
            std::memcpy(out + 4 * x, &word, 4);
        }
    } else {
        const std::uint32_t alpha = opaque ? 0xff000000u : 0;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = in + 4 * x;
            std::uint32_t word = (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[0]) << 16) |
                                 (std::uint32_t(p[1]) << 8) | std::uint32_t(p[2]) | alpha;
            std::memcpy(out + 4 * x, &word, 4);
        }
    }
}

void rgbaToCairo(const std::uint8_t* in, std::uint8_t* out, int width) {
    swapRedAndBlue(in, out, width, false);
}

void cairoToRgba(const std::uint8_t* in, std::uint8_t* out, int width, bool opaque) {
    if constexpr (std::endian::native == std::endian::little) {
        swapRedAndBlue(in, out, width, opaque);
    } else {
        for (int x = 0; x < width; ++x, in += 4, out += 4) {
            std::uint32_t word;
            std::memcpy(&word, in, 4);
            out[0] = static_cast<std::uint8_t>(word >> 16);
            out[1] = static_cast<std::uint8_t>(word >> 8);
            out[2] = static_cast<std::uint8_t>(word);
            out[3] = opaque ? 255 : static_cast<std::uint8_t>(word >> 24);
        }
    }
}

cairo_format_t cairoFormat(AlphaInfo alphaInfo) {
    switch (alphaInfo) {
        case AlphaInfo::premultipliedLast: return CAIRO_FORMAT_ARGB32;
        // Cairo ignores the top byte of RGB24 pixels, as we ignore alpha here.
        case AlphaInfo::noneSkipLast: return CAIRO_FORMAT_RGB24;
    }
    platform::unreachable("cairoFormat");
}

// A cairo surface holding a copy of `bitmap`'s pixels.
CairoSurface surfaceFrom(const Bitmap& bitmap) {
    CairoSurface surface(cairo_image_surface_create(cairoFormat(bitmap.format().alphaInfo),
                                                    bitmap.width(), bitmap.height()));
    cairo_surface_flush(surface.get());
    std::uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < bitmap.height(); ++y)
        rgbaToCairo(bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow(),
                    data + static_cast<std::size_t>(y) * stride, bitmap.width());
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

class CairoCanvas : public Canvas {
public:
    CairoCanvas(int width, int height, const BitmapFormat& format,
                std::shared_ptr<TextLayouts> layouts)
        : layouts_(std::move(layouts)),
          format_(format),
          surface_(cairo_image_surface_create(cairoFormat(format.alphaInfo), width, height)),
          context_(cairo_create(surface_.get())),
          cr_(context_.get()) {}

    bool ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }

    void drawBitmap(const Bitmap& bitmap, const AffineTransform& imageToPixels) override {
        if (bitmap.width() == 0 || bitmap.height() == 0) return;
        CairoSurface source = surfaceFrom(bitmap);
        cairo_save(cr_);
        std::optional<AffineTransform> exact = pixelExact(imageToPixels);
        cairo_matrix_t m = toCairo(exact.value_or(imageToPixels));
        cairo_transform(cr_, &m);
        cairo_set_source_surface(cr_, source.get(), 0, 0);
        cairo_pattern_t* pattern = cairo_get_source(cr_);
        // Edges are not blended with transparency outside the picture.
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(pattern, exact ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_rectangle(cr_, 0, 0, bitmap.width(), bitmap.height());
        cairo_fill(cr_);
        cairo_restore(cr_);
    }

    double drawText(std::string_view text, const Rect& rect, const Font& font, const Color& color,
                    const AffineTransform& userToPixels) override {
        if (text.empty() || rect.width() <= 0 || rect.height() <= 0) return 0;
        cairo_save(cr_);
        cairo_matrix_t m = toCairo(userToPixels);
        cairo_transform(cr_, &m);
        cairo_rectangle(cr_, rect.origin.x, rect.origin.y, rect.width(), rect.height());
        cairo_clip(cr_);
        PangoLayout* layout = layouts_->layout(cr_, text, font, rect.width());
        setColor(cr_, color);
        cairo_move_to(cr_, rect.origin.x, rect.origin.y);
        pango_cairo_show_layout(cr_, layout);
        cairo_restore(cr_);
        // Where the line sits as laid out for these pixels: hinting at this
        // scale can move it from where the same text measures at another.
        return static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    }

    void fillRect(const Rect& rect, const Color& color,
                  const AffineTransform& userToPixels) override {
        fill(userToPixels, color, [&] {
            cairo_rectangle(cr_, rect.origin.x, rect.origin.y, rect.width(), rect.height());
        });
    }

    void fillRoundedRect(const Rect& rect, double radius, const Color& color,
                         const AffineTransform& userToPixels) override {
        double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
        fill(userToPixels, color, [&] {
            double x = rect.origin.x, y = rect.origin.y, w = rect.width(), h = rect.height();
            cairo_new_sub_path(cr_);
            cairo_arc(cr_, x + w - r, y + r, r, -M_PI / 2, 0);
            cairo_arc(cr_, x + w - r, y + h - r, r, 0, M_PI / 2);
            cairo_arc(cr_, x + r, y + h - r, r, M_PI / 2, M_PI);
            cairo_arc(cr_, x + r, y + r, r, M_PI, 3 * M_PI / 2);
            cairo_close_path(cr_);
        });
    }

    void fillEllipse(const Rect& rect, const Color& color,
                     const AffineTransform& userToPixels) override {
        if (rect.width() <= 0 || rect.height() <= 0) return;
        fill(userToPixels, color, [&] {
            cairo_save(cr_);
            cairo_translate(cr_, rect.origin.x + rect.width() / 2,
                            rect.origin.y + rect.height() / 2);
            cairo_scale(cr_, rect.width() / 2, rect.height() / 2);
            cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr_);
        });
    }

    void strokeLine(Point from, Point to, double lineWidth, const Color& color,
                    const AffineTransform& userToPixels) override {
        cairo_save(cr_);
        cairo_matrix_t m = toCairo(userToPixels);
        cairo_transform(cr_, &m);
        setColor(cr_, color);
        cairo_set_line_width(cr_, lineWidth);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr_, from.x, from.y);
        cairo_line_to(cr_, to.x, to.y);
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    std::shared_ptr<Bitmap> makeBitmap() const override {
        cairo_surface_flush(surface_.get());
        int width = cairo_image_surface_get_width(surface_.get());
        int height = cairo_image_surface_get_height(surface_.get());
        auto bitmap = std::make_shared<Bitmap>(width, height, format_);
        const std::uint8_t* data = cairo_image_surface_get_data(surface_.get());
        int stride = cairo_image_surface_get_stride(surface_.get());
        bool opaque = format_.alphaInfo == AlphaInfo::noneSkipLast;
        for (int y = 0; y < height; ++y)
            cairoToRgba(data + static_cast<std::size_t>(y) * stride,
                        bitmap->data() + static_cast<std::size_t>(y) * bitmap->bytesPerRow(), width,
                        opaque);
        return bitmap;
    }

private:
    template <class Path>
    void fill(const AffineTransform& userToPixels, const Color& color, Path path) {
        cairo_save(cr_);
        cairo_matrix_t m = toCairo(userToPixels);
        cairo_transform(cr_, &m);
        path();
        setColor(cr_, color);
        cairo_fill(cr_);
        cairo_restore(cr_);
    }

    std::shared_ptr<TextLayouts> layouts_;
    BitmapFormat format_;
    CairoSurface surface_;
    CairoContext context_;
    // The context, borrowed for the many calls that draw with it.
    cairo_t* cr_;
};

class CairoBackend : public Backend {
public:
    std::unique_ptr<Canvas> makeCanvas(int width, int height, const BitmapFormat& format) override {
        if (width <= 0 || height <= 0 || format.bitsPerComponent != 8) return nullptr;
        auto canvas = std::make_unique<CairoCanvas>(width, height, format, drawing_);
        if (!canvas->ok()) return nullptr;
        return canvas;
    }

    Size measureText(std::string_view text, const Font& font, double maxWidth) override {
        PangoLayout* layout = measuring_.layout(nullptr, text, font, maxWidth);
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        return {static_cast<double>(logical.width) / PANGO_SCALE,
                static_cast<double>(logical.height) / PANGO_SCALE};
    }

    platform::Result<std::shared_ptr<Image>> decodeImage(std::span<const std::uint8_t> bytes,
                                                         const DecodeLimits& limits) override {
        return decodePicture(bytes, limits);
    }

    platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) override {
        return graphics::encodePng(bitmap);
    }

    platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap,
                                                           int quality) override {
        // As PNG files: by the browser build's encoder, for the same bytes.
        return stb::encodeJpeg(bitmap, quality);
    }

private:
    // Canvases share the drawing layouts and may outlive a replaced back end.
    std::shared_ptr<TextLayouts> drawing_ = std::make_shared<TextLayouts>();
    TextLayouts measuring_;
};

}  // namespace

std::string fontDescriptionFor(const Font& font) {
    if (font.isSystemFont()) return "DejaVu Sans";
    if (font.name == "Noteworthy-Bold") return "Comic Neue Bold";
    return font.name;
}

std::unique_ptr<Backend> makeCairoBackend() { return std::make_unique<CairoBackend>(); }

}  // namespace graphics

#if defined(__SANITIZE_ADDRESS__)
// Pango's font map keeps fontconfig's font patterns for the life of the
// process and never frees them, so LeakSanitizer would report them at the
// exit of every program that draws text. They are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
