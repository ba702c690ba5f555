#include "platform/graphics/Bitmap.h"

#include <cstring>

#include "platform/Precondition.h"

namespace graphics {

Bitmap::Bitmap(int width, int height, BitmapFormat format)
    : width_(width), height_(height), format_(format) {
    platform::require(width >= 0 && height >= 0, "Bitmap", "a negative size");
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
}

Rgba Bitmap::pixel(int x, int y) const {
    platform::require(x >= 0 && y >= 0 && x < width_ && y < height_, "Bitmap::pixel",
                      "a pixel outside the bitmap");
    const std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow() +
                            static_cast<std::size_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

void Bitmap::setPixel(int x, int y, Rgba value) {
    platform::require(x >= 0 && y >= 0 && x < width_ && y < height_, "Bitmap::setPixel",
                      "a pixel outside the bitmap");
    platform::require(!hashed_, "Bitmap::setPixel", "the bitmap is shared and must not change");
    std::uint8_t* p =
        pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow() + static_cast<std::size_t>(x) * 4;
    p[0] = value.r;
    p[1] = value.g;
    p[2] = value.b;
    p[3] = value.a;
}

std::uint64_t Bitmap::contentHash() const {
    if (hashed_) return hash_;
    // FNV-1a over 64-bit words: fast enough to hash every sprite's pixels
    // once, and spreads well enough for a lookup table.
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](std::uint64_t word) {
        h ^= word;
        h *= 1099511628211ull;
        h ^= h >> 29;
    };
    mix(static_cast<std::uint64_t>(width_));
    mix(static_cast<std::uint64_t>(height_));
    std::size_t n = pixels_.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, pixels_.data() + i, 8);
        mix(word);
    }
    for (; i < n; ++i) mix(pixels_[i]);
    hash_ = h;
    hashed_ = true;
    return h;
}

bool Bitmap::samePixels(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
}

}  // namespace graphics
