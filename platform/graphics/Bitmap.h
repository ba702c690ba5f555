// A bitmap in memory: the pixels of an image, 8 bits a component, red,
// green, blue, alpha in that order, alpha premultiplied, the top row first.
// This is the one layout every back end reads and writes, so pixels move
// between decoders, drawing and the renderer without conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace graphics {

enum class ColorSpace { deviceRGB = 0 };

// How the alpha component is kept: premultiplied, or ignored (opaque).
enum class AlphaInfo { premultipliedLast = 1, noneSkipLast = 5 };

struct BitmapFormat {
    int bitsPerComponent = 8;
    ColorSpace colorSpace = ColorSpace::deviceRGB;
    AlphaInfo alphaInfo = AlphaInfo::premultipliedLast;
    friend bool operator==(const BitmapFormat&, const BitmapFormat&) = default;
};

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A picture file's bytes and kind ("image/jpeg" or "image/png").
struct PictureFile {
    std::string mimeType;
    std::vector<std::uint8_t> bytes;
};

class Bitmap {
public:
    // A bitmap of the given size, every pixel transparent black.
    Bitmap(int width, int height, BitmapFormat format = {});

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t bytesPerRow() const { return static_cast<std::size_t>(width_) * 4; }
    const BitmapFormat& format() const { return format_; }

    std::uint8_t* data() { return pixels_.data(); }
    const std::uint8_t* data() const { return pixels_.data(); }
    std::size_t byteCount() const { return pixels_.size(); }

    Rgba pixel(int x, int y) const;
    void setPixel(int x, int y, Rgba value);

    // A hash of the size and every pixel; bitmaps that show the same pixels
    // have the same hash. Computed once, on first use: a bitmap must not be
    // changed after its hash has been asked for.
    std::uint64_t contentHash() const;

    bool samePixels(const Bitmap& other) const;

    // The file this bitmap was read from or first stored as, if any: a
    // drawing's pictures are written back as these bytes, so that a photo
    // kept as a JPEG is never encoded again (each time losing a little) and
    // is the same bytes wherever the drawing is saved. Kept once, like the
    // hash: a bitmap whose pixels may still change has none.
    const std::shared_ptr<const PictureFile>& storedAs() const { return storedAs_; }
    void keepStoredAs(std::shared_ptr<const PictureFile> file) const;

private:
    int width_;
    int height_;
    BitmapFormat format_;
    std::vector<std::uint8_t> pixels_;
    mutable std::uint64_t hash_ = 0;
    mutable bool hashed_ = false;
    mutable std::shared_ptr<const PictureFile> storedAs_;
};

}  // namespace graphics
