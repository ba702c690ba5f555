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
    // Each sample by a controller of its own, so that only the bitmaps'
    // sharing can make them one.
    std::vector<std::shared_ptr<graphics::Image>> images;
    for (int i = 0; i < 100; ++i)
        images.push_back(ViewController(ui::Coder{}).renderEmojiImage("\U0001F436", 30));
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

// A shared bitmap is freed with its last image, and drawing the same again
// makes a fresh one that works as well; thousands of different images
// dropped at once leave nothing behind in the table of shared bitmaps.
TEST(SharedBitmaps, ABitmapIsFreedWithItsLastImage) {
    std::vector<std::weak_ptr<const graphics::Bitmap>> seen;
    {
        auto first = filledSquare({0.2, 0.4, 0.6, 1});
        auto second = filledSquare({0.2, 0.4, 0.6, 1});
        ASSERT_EQ(first->cgImage(), second->cgImage());
        seen.push_back(first->cgImage());
    }
    EXPECT_TRUE(seen[0].expired());
    auto again = filledSquare({0.2, 0.4, 0.6, 1});
    EXPECT_EQ(again->cgImage()->pixel(5, 5), (graphics::Rgba{51, 102, 153, 255}));
    for (int i = 0; i < 3000; ++i)
        seen.push_back(filledSquare({(i % 256) / 255.0, (i / 256) / 255.0, 0, 1})->cgImage());
    for (const auto& bitmap : seen) ASSERT_TRUE(bitmap.expired());
}

}  // namespace
