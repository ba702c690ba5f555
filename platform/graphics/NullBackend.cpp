#include "platform/graphics/NullBackend.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {
class NullCanvas : public Canvas {
public:
    NullCanvas(int width, int height, const BitmapFormat& format)
        : width_(width), height_(height), format_(format) {}

    void drawBitmap(const Bitmap&, const AffineTransform&) override {}
    double drawText(std::string_view, const Rect&, const Font& font, const Color&,
                    const AffineTransform&) override {
        return font.pointSize;
    }
    void fillRect(const Rect&, const Color&, const AffineTransform&) override {}
    void fillRoundedRect(const Rect&, double, const Color&, const AffineTransform&) override {}
    void fillEllipse(const Rect&, const Color&, const AffineTransform&) override {}
    void strokeLine(Point, Point, double, const Color&, const AffineTransform&) override {}

    std::shared_ptr<Bitmap> makeBitmap() const override {
        return std::make_shared<Bitmap>(width_, height_, format_);
    }

private:
    int width_;
    int height_;
    BitmapFormat format_;
};

// Every character (UTF-8 sequence) half an em wide, lines 1.2 em apart,
// wrapped at `maxWidth`.
Size measureSimply(std::string_view text, const Font& font, double maxWidth) {
    std::size_t characters = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    double width = static_cast<double>(characters) * font.pointSize / 2;
    double lines = 1;
    if (maxWidth > 0 && width > maxWidth) {
        lines = std::ceil(width / maxWidth);
        width = maxWidth;
    }
    return {width, lines * font.pointSize * 1.2};
}

class NullBackend : public Backend {
public:
    std::unique_ptr<Canvas> makeCanvas(int width, int height, const BitmapFormat& format) override {
        if (width <= 0 || height <= 0) return nullptr;
        return std::make_unique<NullCanvas>(width, height, format);
    }
    Size measureText(std::string_view text, const Font& font, double maxWidth) override {
        return measureSimply(text, font, maxWidth);
    }
    platform::Result<std::shared_ptr<Image>> decodeImage(std::span<const std::uint8_t>,
                                                         const DecodeLimits&) override {
        return platform::fail("this build decodes no pictures");
    }
    platform::Result<std::vector<std::uint8_t>> encodePng(const Bitmap&) override {
        return platform::fail("this build encodes no pictures");
    }
    platform::Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap&, int) override {
        return platform::fail("this build encodes no pictures");
    }
};
}  // namespace

std::unique_ptr<Backend> makeNullBackend() { return std::make_unique<NullBackend>(); }

}  // namespace graphics
