#include "platform/graphics/ImageContext.h"

#include <cmath>
#include <vector>

#include "platform/graphics/Context.h"

namespace graphics {

namespace {
std::vector<std::unique_ptr<ImageContext>>& contextStack() {
    return currentContext().imageContexts;
}
}  // namespace

Context& currentContext() {
    Context* context = ContextScope::get();
    platform::require(context != nullptr, "graphics::currentContext",
                      "no graphics context in force on this thread");
    return *context;
}

std::shared_ptr<const Bitmap> SharedBitmaps::share(std::shared_ptr<const Bitmap> bitmap) {
    std::uint64_t hash = bitmap->contentHash();
    auto [first, last] = table_.equal_range(hash);
    for (auto it = first; it != last;) {
        std::shared_ptr<const Bitmap> known = it->second.lock();
        if (!known) {
            it = table_.erase(it);
            continue;
        }
        if (known->samePixels(*bitmap) && known->format() == bitmap->format()) return known;
        ++it;
    }
    table_.emplace(hash, bitmap);
    // Forget bitmaps no image shows any more, once they could make up half
    // the table, so that it stays the size of what is alive.
    if (table_.size() >= 2 * liveAfterSweep_ + 64) sweep();
    return bitmap;
}

void SharedBitmaps::sweep() {
    std::erase_if(table_, [](const auto& entry) { return entry.second.expired(); });
    liveAfterSweep_ = table_.size();
}

double mainScreenScale() { return currentContext().screenScale; }

ImageContext::ImageContext(Size size, bool opaque, double scale, std::unique_ptr<Canvas> canvas)
    : size_(size), opaque_(opaque), scale_(scale), canvas_(std::move(canvas)) {
    if (opaque_) canvas_->fillRect({{0, 0}, size_}, Color::black(), pointsToPixels());
}

void ImageContext::drawString(std::string_view text, const Rect& rect, const Font& font,
                              const Color& color) {
    canvas_->drawText(text, rect, font, color, pointsToPixels());
}

void ImageContext::drawBitmap(const Bitmap& bitmap, const Rect& rect) {
    if (bitmap.width() == 0 || bitmap.height() == 0) return;
    double sx = rect.width() / bitmap.width();
    double sy = rect.height() / bitmap.height();
    AffineTransform imageToPoints{sx, 0, 0, sy, rect.origin.x, rect.origin.y};
    canvas_->drawBitmap(bitmap, concat(imageToPoints, pointsToPixels()));
}

void ImageContext::fillRect(const Rect& rect) {
    canvas_->fillRect(rect, currentColor_, pointsToPixels());
}

std::shared_ptr<Image> ImageContext::makeImage() const {
    return std::make_shared<Image>(currentContext().sharedBitmaps.share(canvas_->makeBitmap()),
                                   scale_);
}

void beginImageContextWithOptions(Size size, bool opaque, double scale) {
    if (scale == 0.0) scale = mainScreenScale();
    double width = std::ceil(size.width * scale);
    double height = std::ceil(size.height * scale);
    std::unique_ptr<Canvas> canvas;
    if (width >= 1 && height >= 1 && width <= 32768 && height <= 32768) {
        BitmapFormat format;
        if (opaque) format.alphaInfo = AlphaInfo::noneSkipLast;
        canvas = backend().makeCanvas(static_cast<int>(width), static_cast<int>(height), format);
    }
    if (!canvas) {
        contextStack().push_back(nullptr);
        return;
    }
    contextStack().push_back(
        std::make_unique<ImageContext>(size, opaque, scale, std::move(canvas)));
}

ImageContext* currentImageContext() {
    auto& stack = contextStack();
    return stack.empty() ? nullptr : stack.back().get();
}

std::shared_ptr<Image> getImageFromCurrentImageContext() {
    ImageContext* context = currentImageContext();
    return context ? context->makeImage() : nullptr;
}

void endImageContext() {
    auto& stack = contextStack();
    if (!stack.empty()) stack.pop_back();
}

void setCurrentColor(const Color& color) {
    if (auto* context = currentImageContext()) context->setCurrentColor(color);
}

void drawStringInRect(std::string_view text, const Rect& rect, const TextAttributes& attributes) {
    if (auto* context = currentImageContext())
        context->drawString(text, rect, attributes.font.value_or(Font::systemFont(12)),
                            attributes.foregroundColor.value_or(Color::black()));
}

}  // namespace graphics
