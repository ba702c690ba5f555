// Bitmaps: pixels in RGBA order, top row first, and a content hash that
// tells different pixels apart and gives equal pixels equal hashes.
#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"

namespace {

using graphics::Bitmap;
using graphics::Rgba;

Bitmap pattern(int width, int height) {
    Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y,
                            {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 5),
                             static_cast<std::uint8_t>(x ^ y), 255});
    return bitmap;
}

TEST(Pixels, AreStoredAsRgbaTopRowFirst) {
    Bitmap bitmap(3, 2);
    bitmap.setPixel(1, 0, {10, 20, 30, 40});
    EXPECT_EQ(bitmap.data()[4], 10);
    EXPECT_EQ(bitmap.data()[7], 40);
    bitmap.setPixel(0, 1, {1, 2, 3, 4});
    EXPECT_EQ(bitmap.data()[12], 1);
    EXPECT_EQ(bitmap.pixel(0, 1), (Rgba{1, 2, 3, 4}));
}

// Equal pixels hash equal; any single changed bit of any pixel (at the
// start, the middle, the end, of sizes that are and are not multiples of
// the hash's 32-byte step) changes the hash, and so do other shapes of the
// same bytes.
TEST(ContentHash, IsEqualForEqualPixelsOnly) {
    EXPECT_EQ(pattern(90, 90).contentHash(), pattern(90, 90).contentHash());
    EXPECT_TRUE(pattern(90, 90).samePixels(pattern(90, 90)));
    for (auto [width, height] : {std::pair{90, 90}, std::pair{7, 3}, std::pair{1, 1}}) {
        std::uint64_t original = pattern(width, height).contentHash();
        for (int index : {0, width * height / 2, width * height - 1}) {
            for (int channel = 0; channel < 4; ++channel) {
                Bitmap changed = pattern(width, height);
                Rgba p = changed.pixel(index % width, index / width);
                (channel == 0 ? p.r : channel == 1 ? p.g : channel == 2 ? p.b : p.a) ^= 1;
                changed.setPixel(index % width, index / width, p);
                EXPECT_NE(changed.contentHash(), original)
                    << width << " x " << height << ", pixel " << index << ", channel " << channel;
                EXPECT_FALSE(changed.samePixels(pattern(width, height)));
            }
        }
    }
    Bitmap wide(4, 1), tall(1, 4);
    EXPECT_NE(wide.contentHash(), tall.contentHash());
    EXPECT_FALSE(wide.samePixels(tall));
}

}  // namespace
