// Pictures made upright: every orientation tag moves each stored pixel to
// exactly the place the tag calls for, with no blur, and photos read from
// files come out as the upright scene whatever their EXIF orientation.
#include <gtest/gtest.h>

#include <string>

#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "support/Scripts.h"

namespace {

using graphics::Bitmap;
using graphics::Image;
using graphics::ImageOrientation;
using graphics::Rgba;
using scrawlet::ViewController;

// A stored bitmap in which every pixel differs from every other, some of
// them translucent (premultiplied), so that any misplaced or blended pixel
// shows.
std::shared_ptr<Bitmap> distinctPixels(int width, int height) {
    auto bitmap = std::make_shared<Bitmap>(width, height);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            auto alpha = static_cast<std::uint8_t>((i + j) % 3 == 0 ? 128 : 255);
            auto value = [&](int v) { return static_cast<std::uint8_t>(v % (alpha + 1)); };
            bitmap->setPixel(
                i, j, {value(i * 37 + 11), value(j * 53 + 7), value((i * 7 + j * 13) * 3), alpha});
        }
    return bitmap;
}

// Where stored pixel (i, j) lands in the W × H upright result.
struct Place {
    int c, r;
};

Place uprightPlace(ImageOrientation tag, int i, int j, int W, int H) {
    switch (tag) {
        case ImageOrientation::up: return {i, j};
        case ImageOrientation::down: return {W - 1 - i, H - 1 - j};
        case ImageOrientation::left: return {j, H - 1 - i};
        case ImageOrientation::right: return {W - 1 - j, i};
        case ImageOrientation::upMirrored: return {W - 1 - i, j};
        case ImageOrientation::downMirrored: return {i, H - 1 - j};
        case ImageOrientation::leftMirrored: return {j, i};
        case ImageOrientation::rightMirrored: return {W - 1 - j, H - 1 - i};
    }
    platform::unreachable("uprightPlace");
}

bool liesOnItsSide(ImageOrientation tag) {
    return tag == ImageOrientation::left || tag == ImageOrientation::right ||
           tag == ImageOrientation::leftMirrored || tag == ImageOrientation::rightMirrored;
}

const ImageOrientation turnedTags[] = {
    ImageOrientation::down,         ImageOrientation::left,         ImageOrientation::right,
    ImageOrientation::upMirrored,   ImageOrientation::downMirrored, ImageOrientation::leftMirrored,
    ImageOrientation::rightMirrored};

// Every tag moves each stored pixel of a small and an odd-sized bitmap to
// exactly its place, translucent ones too; a picture tagged up is the very
// same image.
TEST(Upright, EveryTagPutsEachPixelExactlyInPlace) {
    for (auto tag : turnedTags)
        for (auto [storedWidth, storedHeight] : {std::pair{4, 3}, std::pair{37, 23}}) {
            SCOPED_TRACE(std::string(orientationName(tag)) + " " + std::to_string(storedWidth));
            auto stored = distinctPixels(storedWidth, storedHeight);
            auto image = std::make_shared<const Image>(stored, 1.0, tag);
            auto upright = ViewController::normalizedImage(image);
            ASSERT_TRUE(upright);
            ASSERT_NE(upright, image);
            EXPECT_EQ(upright->imageOrientation(), ImageOrientation::up);
            EXPECT_EQ(upright->scale(), 1.0);
            int W = liesOnItsSide(tag) ? storedHeight : storedWidth;
            int H = liesOnItsSide(tag) ? storedWidth : storedHeight;
            const Bitmap& result = *upright->cgImage();
            ASSERT_EQ(result.width(), W);
            ASSERT_EQ(result.height(), H);
            for (int j = 0; j < storedHeight; ++j)
                for (int i = 0; i < storedWidth; ++i) {
                    Place p = uprightPlace(tag, i, j, W, H);
                    ASSERT_EQ(result.pixel(p.c, p.r), stored->pixel(i, j))
                        << "stored (" << i << ", " << j << ") should be at (" << p.c << ", " << p.r
                        << ")";
                }
        }
    auto image = std::make_shared<const Image>(distinctPixels(4, 3), 1.0, ImageOrientation::up);
    EXPECT_EQ(ViewController::normalizedImage(image), image);
}

TEST(Upright, AnOpaquePictureStaysOpaque) {
    // The alpha bytes of a bitmap without alpha mean nothing, whatever they
    // hold; here they are left at zero.
    auto stored =
        std::make_shared<Bitmap>(5, 2,
                                 graphics::BitmapFormat{8, graphics::ColorSpace::deviceRGB,
                                                        graphics::AlphaInfo::noneSkipLast});
    auto colour = [](int i, int j) {
        return Rgba{static_cast<std::uint8_t>(i * 50), static_cast<std::uint8_t>(j * 90), 7, 0};
    };
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 5; ++i) stored->setPixel(i, j, colour(i, j));
    auto upright = ViewController::normalizedImage(
        std::make_shared<const Image>(stored, 1.0, ImageOrientation::leftMirrored));
    const Bitmap& result = *upright->cgImage();
    EXPECT_EQ(result.format().alphaInfo, graphics::AlphaInfo::noneSkipLast);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 5; ++i) {
            Rgba want = colour(i, j);
            want.a = 255;
            EXPECT_EQ(result.pixel(j, i), want) << i << ", " << j;
        }
}

// --- Fractional sizes -----------------------------------------------------------

TEST(Upright, AFractionalSizeIsTruncatedToWholePixels) {
    // 100.7 × 50.2 points as displayed: 1007 × 502 pixels at scale 10,
    // stored on its side for the quarter-turn tags.
    for (auto tag : turnedTags) {
        SCOPED_TRACE(orientationName(tag));
        bool sideways = liesOnItsSide(tag);
        auto stored = std::make_shared<Bitmap>(sideways ? 502 : 1007, sideways ? 1007 : 502);
        for (int y = 0; y < stored->height(); ++y)
            for (int x = 0; x < stored->width(); ++x) stored->setPixel(x, y, {200, 100, 50, 255});
        auto image = std::make_shared<const Image>(stored, 10.0, tag);
        ASSERT_NEAR(image->size().width, 100.7, 1e-9);
        ASSERT_NEAR(image->size().height, 50.2, 1e-9);
        auto upright = ViewController::normalizedImage(image);
        EXPECT_EQ(upright->cgImage()->width(), 100);
        EXPECT_EQ(upright->cgImage()->height(), 50);
        EXPECT_EQ(upright->scale(), 1.0);
        // Shrunk, not cropped: the picture covers the whole result.
        for (auto [x, y] : {std::pair{0, 0}, std::pair{99, 0}, std::pair{0, 49}, std::pair{99, 49},
                            std::pair{50, 25}})
            EXPECT_EQ(upright->cgImage()->pixel(x, y), (Rgba{200, 100, 50, 255})) << x << ", " << y;
    }
}

// --- Photos from files ------------------------------------------------------------

// Red top left, green top right, blue bottom left, yellow bottom right,
// and the white arrow pointing up, whatever the EXIF orientation.
TEST(Upright, PhotosFromFilesComeOutAsTheUprightScene) {
    auto near = [](Rgba got, Rgba want) {
        return std::abs(got.r - want.r) <= 24 && std::abs(got.g - want.g) <= 24 &&
               std::abs(got.b - want.b) <= 24;
    };
    const Rgba white{255, 255, 255, 255};
    for (int exif = 1; exif <= 8; ++exif) {
        std::string name = "photo-exif-" + std::to_string(exif) + ".jpg";
        auto decoded = testsupport::readPicture(testsupport::testData(name));
        ASSERT_TRUE(decoded);
        auto upright = ViewController::normalizedImage(decoded);
        const Bitmap& result = *upright->cgImage();
        ASSERT_EQ(result.width(), 300) << name;
        ASSERT_EQ(result.height(), 400) << name;
        EXPECT_TRUE(near(result.pixel(75, 100), {220, 30, 30, 255})) << name;
        EXPECT_TRUE(near(result.pixel(225, 100), {30, 170, 60, 255})) << name;
        EXPECT_TRUE(near(result.pixel(75, 300), {30, 70, 220, 255})) << name;
        EXPECT_TRUE(near(result.pixel(225, 300), {240, 200, 20, 255})) << name;
        EXPECT_TRUE(near(result.pixel(150, 160), white) && near(result.pixel(150, 250), white))
            << name;
        EXPECT_FALSE(near(result.pixel(150, 120), white)) << name;
    }
}

}  // namespace
