// How fast a touch sample turns into a sprite image, and how much memory a
// long drawing's images hold. Every touch sample renders one emoji image, and
// drawings grow to tens of thousands of sprites.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <numbers>
#include <unordered_set>
#include <vector>

#include "bench/BenchMain.h"
#include "controller/ViewController.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/cairo/CairoBackend.h"

namespace {

using scrawlet::ViewController;

// One emoji drawn again and again, as the samples of one stroke do.
void renderSameEmoji(benchmark::State& state) {
    ViewController controller{ui::Coder{}};
    for (auto _ : state) {
        auto image = controller.renderEmojiImage("\U0001F436", 30.0);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(renderSameEmoji);

// Every emoji of the table in turn, as a drawing of many strokes does.
void renderEveryEmoji(benchmark::State& state) {
    const auto& table = scrawlet::emojiTable();
    ViewController controller{ui::Coder{}};
    std::size_t next = 0;
    for (auto _ : state) {
        auto image = controller.renderEmojiImage(table[next], 30.0);
        benchmark::DoNotOptimize(image);
        next = (next + 1) % table.size();
    }
}
BENCHMARK(renderEveryEmoji);

// The heap bytes that 10,000 sprite images of one stroke keep alive.
void holdTenThousandSprites(benchmark::State& state) {
    constexpr int sprites = 10000;
    ViewController controller{ui::Coder{}};
    for (auto _ : state) {
        std::vector<std::shared_ptr<graphics::Image>> images;
        images.reserve(sprites);
        std::size_t before = mallinfo2().uordblks;
        for (int i = 0; i < sprites; ++i)
            images.push_back(controller.renderEmojiImage("\U0001F43B\u200D\u2744\uFE0F", 30.0));
        std::size_t after = mallinfo2().uordblks;
        std::unordered_set<const graphics::Bitmap*> distinct;
        for (const auto& image : images) distinct.insert(image->cgImage().get());
        state.counters["bytesHeld"] = static_cast<double>(after - before);
        state.counters["distinctBitmaps"] = static_cast<double>(distinct.size());
    }
}
BENCHMARK(holdTenThousandSprites)->Iterations(1)->Unit(benchmark::kMillisecond);

// A sprite-sized canvas with one emoji drawn, read back as a bitmap.
void canvasToBitmap(benchmark::State& state) {
    for (auto _ : state) {
        auto canvas = graphics::backend().makeCanvas(90, 90, graphics::BitmapFormat{});
        canvas->drawText("\U0001F436", {{0, 0}, {30, 30}}, graphics::Font::systemFont(30),
                         graphics::Color::black(), {3, 0, 0, 3, 0, 0});
        auto bitmap = canvas->makeBitmap();
        benchmark::DoNotOptimize(bitmap);
    }
}
BENCHMARK(canvasToBitmap);

// The content hash by which sprite images share their bitmaps.
void hashSpriteBitmap(benchmark::State& state) {
    graphics::Bitmap sprite(90, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 90; ++x)
            sprite.setPixel(x, y,
                            {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9, 255});
    for (auto _ : state) {
        graphics::Bitmap copy = sprite;
        benchmark::DoNotOptimize(copy.contentHash());
    }
}
BENCHMARK(hashSpriteBitmap);

// A 2048 × 1536 photo stored sideways, made upright through a bitmap context.
void uprightPhoto(benchmark::State& state) {
    auto stored = std::make_shared<graphics::Bitmap>(2048, 1536);
    for (int y = 0; y < stored->height(); ++y)
        for (int x = 0; x < stored->width(); ++x)
            stored->setPixel(x, y,
                             {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0, 255});
    auto photo =
        std::make_shared<const graphics::Image>(stored, 1.0, graphics::ImageOrientation::right);
    for (auto _ : state) {
        auto upright = ViewController::normalizedImage(photo);
        benchmark::DoNotOptimize(upright);
    }
}
BENCHMARK(uprightPhoto)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks(argc, argv); }
