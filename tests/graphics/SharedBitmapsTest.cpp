// Images from image contexts that show the same pixels share one bitmap,
// while each is still an image of its own; a shared bitmap lives only as
// long as some image shows it.
#include <gtest/gtest.h>

#include "controller/ViewController.h"
#include "platform/graphics/ImageContext.h"

namespace {

using scrawlet::ViewController;

std::shared_ptr<graphics::Image> filledSquare(graphics::Color color, bool opaque = false) {
    graphics::beginImageContextWithOptions({10, 10}, opaque, 1.0);
    graphics::setCurrentColor(color);
    graphics::currentImageContext()->fillRect({{0, 0}, {10, 10}});
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    return image;
}

TEST(SharedBitmaps, TheSamplesOfAStrokeShareOneBitmap) {
    std::vector<std::shared_ptr<graphics::Image>> images;
    for (int i = 0; i < 100; ++i)
        images.push_back(ViewController::renderEmojiImage("\U0001F436", 30));
    for (const auto& image : images) {
        EXPECT_EQ(image->cgImage(), images.front()->cgImage());
        EXPECT_EQ(image->scale(), 3.0);
    }
    // Still an image of its own for every sample.
    EXPECT_NE(images[0], images[1]);
}

TEST(SharedBitmaps, SameDrawingInAnotherLayoutIsNotShared) {
    // The same pixels, once with alpha and once opaque, are different
    // bitmaps.
    auto clear = filledSquare({1, 0, 0, 1});
    auto opaque = filledSquare({1, 0, 0, 1}, true);
    EXPECT_NE(clear->cgImage(), opaque->cgImage());
    EXPECT_EQ(opaque->cgImage()->format().alphaInfo, graphics::AlphaInfo::noneSkipLast);
}

TEST(SharedBitmaps, ABitmapIsFreedWithItsLastImage) {
    std::weak_ptr<const graphics::Bitmap> bitmap;
    {
        auto first = filledSquare({0.2, 0.4, 0.6, 1});
        auto second = filledSquare({0.2, 0.4, 0.6, 1});
        ASSERT_EQ(first->cgImage(), second->cgImage());
        bitmap = first->cgImage();
    }
    EXPECT_TRUE(bitmap.expired());
    // And drawing the same again makes a fresh one that works as well.
    auto again = filledSquare({0.2, 0.4, 0.6, 1});
    EXPECT_EQ(again->cgImage()->pixel(5, 5), (graphics::Rgba{51, 102, 153, 255}));
}

TEST(SharedBitmaps, ManyShortLivedImagesLeaveNothingBehind) {
    // Thousands of different images that are dropped at once: the table
    // of shared bitmaps must not keep any of them alive.
    std::vector<std::weak_ptr<const graphics::Bitmap>> seen;
    for (int i = 0; i < 3000; ++i) {
        auto image = filledSquare({(i % 256) / 255.0, (i / 256) / 255.0, 0, 1});
        seen.push_back(image->cgImage());
    }
    for (const auto& bitmap : seen) ASSERT_TRUE(bitmap.expired());
}

}  // namespace
