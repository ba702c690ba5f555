#include "platform/graphics/Bitmap.h"

#include <cstring>

#include "platform/Precondition.h"

namespace graphics {

Bitmap::Bitmap(int width, int height, BitmapFormat format)
    : width_(width), height_(height), format_(format) {
    platform::require(width >= 0 && height >= 0, "Bitmap", "a negative size");
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
}

void Bitmap::keepStoredAs(std::shared_ptr<const PictureFile> file) const {
    platform::require(file != nullptr, "Bitmap::keepStoredAs", "no file given");
    // From now on the pixels are those the file was made from or read as.
    (void)contentHash();
    storedAs_ = std::move(file);
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
    std::uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * bytesPerRow() +
                      static_cast<std::size_t>(x) * 4;
    p[0] = value.r;
    p[1] = value.g;
    p[2] = value.b;
    p[3] = value.a;
}

std::uint64_t Bitmap::contentHash() const {
    if (hashed_) return hash_;
    // Multiply-and-fold over 64-bit words in four independent lanes, so the
    // multiplications overlap: every sprite image is hashed once when it is
    // made, and a 90 x 90 sprite is 4,050 words. The lanes fold by
    // different shifts, which also keeps the compiler from packing them
    // into vector registers that lack a 64-bit multiply.
    constexpr std::uint64_t prime = 0x9E3779B97F4A7C15ull;
    std::uint64_t a = 1469598103934665603ull ^ static_cast<std::uint64_t>(width_);
    std::uint64_t b = 0x2545F4914F6CDD1Dull ^ static_cast<std::uint64_t>(height_);
    std::uint64_t c = 0xD6E8FEB86659FD93ull;
    std::uint64_t d = 0xA0761D6478BD642Full;
    const std::uint8_t* p = pixels_.data();
    std::size_t n = pixels_.size();
    std::size_t i = 0;
    auto word = [p](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, p + at, 8);
        return w;
    };
    for (; i + 32 <= n; i += 32) {
        a = (a ^ word(i)) * prime;
        b = (b ^ word(i + 8)) * prime;
        c = (c ^ word(i + 16)) * prime;
        d = (d ^ word(i + 24)) * prime;
        a ^= a >> 29;
        b ^= b >> 31;
        c ^= c >> 27;
        d ^= d >> 33;
    }
    for (; i < n; ++i) a = ((a ^ p[i]) * prime) ^ (a >> 29);
    std::uint64_t h = a;
    for (std::uint64_t lane : {b, c, d}) {
        h = (h ^ lane) * prime;
        h ^= h >> 29;
    }
    hash_ = h;
    hashed_ = true;
    return h;
}

bool Bitmap::samePixels(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
}

}  // namespace graphics
