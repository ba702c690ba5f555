#include "platform/graphics/web/CanvasBackend.h"

#include <cmath>
#include <string>
#include <vector>

#include "platform/graphics/PictureFiles.h"
#include "platform/graphics/stb/Codecs.h"
#include "platform/graphics/stb/PngEncoder.h"

// The browser half, in Canvas2d.js.
extern "C" {
int scrawlet_canvas_create(int width, int height);
void scrawlet_canvas_release(int canvas);
void scrawlet_canvas_draw_pixels(int canvas, const std::uint8_t* pixels, int width, int height,
                                 int exact, double a, double b, double c, double d, double tx,
                                 double ty);
double scrawlet_canvas_draw_text(int canvas, const char* text, int length, const char* fontName,
                                 double pointSize, double red, double green, double blue,
                                 double alpha, double x, double y, double width, double height,
                                 double a, double b, double c, double d, double tx, double ty);
void scrawlet_canvas_fill(int canvas, int shape, double x, double y, double width, double height,
                          double radius, double red, double green, double blue, double alpha,
                          double a, double b, double c, double d, double tx, double ty);
void scrawlet_canvas_stroke_line(int canvas, double x0, double y0, double x1, double y1,
                                 double lineWidth, double red, double green, double blue,
                                 double alpha, double a, double b, double c, double d, double tx,
                                 double ty);
void scrawlet_canvas_read(int canvas, std::uint8_t* out);
void scrawlet_measure_text(const char* text, int length, const char* fontName, double pointSize,
                           double maxWidth, double* out);
}

namespace graphics {

namespace {

// Whether the mapping only moves whole pixels and turns by quarter turns or
// mirrors: then pixels are copied, not resampled.
bool pixelExact(const AffineTransform& t) {
    auto whole = [](double v) { return std::isfinite(v) && std::fabs(v - std::round(v)) < 1e-9; };
    if (!whole(t.a) || !whole(t.b) || !whole(t.c) || !whole(t.d) || !whole(t.tx) || !whole(t.ty))
        return false;
    auto unit = [](double v) { return std::round(std::fabs(v)) == 1; };
    auto zero = [](double v) { return std::round(v) == 0; };
    return (unit(t.a) && unit(t.d) && zero(t.b) && zero(t.c)) ||
           (unit(t.b) && unit(t.c) && zero(t.a) && zero(t.d));
}

enum class Shape { rect = 0, roundedRect = 1, ellipse = 2 };

class WebCanvas : public Canvas {
public:
    WebCanvas(int handle, int width, int height, const BitmapFormat& format)
        : handle_(handle), width_(width), height_(height), format_(format) {}
    ~WebCanvas() override { scrawlet_canvas_release(handle_); }
    WebCanvas(const WebCanvas&) = delete;
    WebCanvas& operator=(const WebCanvas&) = delete;

    void drawBitmap(const Bitmap& bitmap, const AffineTransform& t) override {
        if (bitmap.width() == 0 || bitmap.height() == 0) return;
        // The browser takes straight alpha; an opaque bitmap's alpha bytes
        // mean nothing and are made opaque.
        std::vector<std::uint8_t> straight = pictures::unpremultiplied(bitmap);
        if (bitmap.format().alphaInfo == AlphaInfo::noneSkipLast)
            for (std::size_t i = 3; i < straight.size(); i += 4) straight[i] = 255;
        scrawlet_canvas_draw_pixels(handle_, straight.data(), bitmap.width(), bitmap.height(),
                                    pixelExact(t), t.a, t.b, t.c, t.d, t.tx, t.ty);
    }

    double drawText(std::string_view text, const Rect& rect, const Font& font, const Color& color,
                    const AffineTransform& t) override {
        if (text.empty() || rect.width() <= 0 || rect.height() <= 0) return 0;
        return scrawlet_canvas_draw_text(
            handle_, text.data(), static_cast<int>(text.size()), font.name.c_str(), font.pointSize,
            color.red, color.green, color.blue, color.alpha, rect.origin.x, rect.origin.y,
            rect.width(), rect.height(), t.a, t.b, t.c, t.d, t.tx, t.ty);
    }

    void fillRect(const Rect& rect, const Color& color, const AffineTransform& t) override {
        fill(Shape::rect, rect, 0, color, t);
    }
    void fillRoundedRect(const Rect& rect, double radius, const Color& color,
                         const AffineTransform& t) override {
        fill(Shape::roundedRect, rect, radius, color, t);
    }
    void fillEllipse(const Rect& rect, const Color& color, const AffineTransform& t) override {
        if (rect.width() <= 0 || rect.height() <= 0) return;
        fill(Shape::ellipse, rect, 0, color, t);
    }

    void strokeLine(Point from, Point to, double lineWidth, const Color& color,
                    const AffineTransform& t) override {
        scrawlet_canvas_stroke_line(handle_, from.x, from.y, to.x, to.y, lineWidth, color.red,
                                    color.green, color.blue, color.alpha, t.a, t.b, t.c, t.d, t.tx,
                                    t.ty);
    }

    std::shared_ptr<Bitmap> makeBitmap() const override {
        auto bitmap = std::make_shared<Bitmap>(width_, height_, format_);
        scrawlet_canvas_read(handle_, bitmap->data());
        switch (format_.alphaInfo) {
            case AlphaInfo::premultipliedLast:
                pictures::premultiply(bitmap->data(), bitmap->byteCount());
                break;
            case AlphaInfo::noneSkipLast:
                // Where nothing was drawn the canvas is transparent; an opaque
                // bitmap shows that as black, as the native back end does.
                pictures::premultiply(bitmap->data(), bitmap->byteCount());
                for (std::size_t i = 3; i < bitmap->byteCount(); i += 4) bitmap->data()[i] = 255;
                break;
        }
        return bitmap;
    }

private:
    void fill(Shape shape, const Rect& rect, double radius, const Color& color,
              const AffineTransform& t) {
        scrawlet_canvas_fill(handle_, static_cast<int>(shape), rect.origin.x, rect.origin.y,
                             rect.width(), rect.height(), radius, color.red, color.green,
                             color.blue, color.alpha, t.a, t.b, t.c, t.d, t.tx, t.ty);
    }

    int handle_;
    int width_;
    int height_;
    BitmapFormat format_;
};

class CanvasBackend : public Backend {
public:
    std::unique_ptr<Canvas> makeCanvas(int width, int height, const BitmapFormat& format) override {
        if (width <= 0 || height <= 0 || format.bitsPerComponent != 8) return nullptr;
        int handle = scrawlet_canvas_create(width, height);
        if (handle == 0) return nullptr;
        return std::make_unique<WebCanvas>(handle, width, height, format);
    }

    Size measureText(std::string_view text, const Font& font, double maxWidth) override {
        double size[2] = {0, 0};
        scrawlet_measure_text(text.data(), static_cast<int>(text.size()), font.name.c_str(),
                              font.pointSize, maxWidth, size);
        return {size[0], size[1]};
    }

    platform::Result<std::shared_ptr<Image>> decodeImage(std::span<const std::uint8_t> bytes,
                                                         const DecodeLimits& limits) override {
        return stb::decodePicture(bytes, limits);
    }

    platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) override {
        return stb::encodePng(bitmap);
    }

    platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap,
                                                           int quality) override {
        return stb::encodeJpeg(bitmap, quality);
    }
};

}  // namespace

std::unique_ptr<Backend> makeCanvasBackend() { return std::make_unique<CanvasBackend>(); }

}  // namespace graphics
