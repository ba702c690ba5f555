// What one touch sample costs: placing a sprite (the emoji image, the plane,
// the node) in a drawing that already holds thousands, and filing strokes
// of them through the touch callbacks.
//   cmake --build build -j2 --target bench_SpritePlacement && build/bench/bench_SpritePlacement
#include <benchmark/benchmark.h>

#include "bench/BenchMain.h"
#include "bench/PhoneDrawing.h"
#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/cairo/CairoBackend.h"

namespace {

using scrawlet::ViewController;

std::shared_ptr<ViewController> makeController() {
    auto controller = phoneDrawing();
    controller->sceneView->session().deliverFrame(ar::poseAt({0.1f, 0, 0}, 10, 5));
    return controller;
}

// Samples placed into a drawing that already holds `state.range(0)` sprites.
void placeSprite(benchmark::State& state) {
    auto controller = makeController();
    const auto& table = scrawlet::emojiTable();
    controller->pic = table[0];
    for (long i = 0; i < state.range(0); ++i)
        controller->placeSprite({100.0 + i % 200, 300.0 + i % 300});
    std::size_t n = 0;
    for (auto _ : state) {
        controller->pic = table[n % table.size()];
        auto node = controller->placeSprite({50.0 + n % 290, 100.0 + n % 600});
        benchmark::DoNotOptimize(node);
        ++n;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(n));
}
BENCHMARK(placeSprite)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A stroke of 100 samples, filed and undone again.
void strokeOfAHundredSamples(benchmark::State& state) {
    auto controller = makeController();
    controller->textLabel = std::make_shared<overlay::LabelNode>("Noteworthy-Bold");
    controller->draw = true;
    for (auto _ : state) {
        controller->currentLine.clear();
        for (int i = 0; i < 100; ++i)
            if (auto node = controller->placeSprite({50.0 + 3 * i, 400.0}))
                controller->currentLine.push_back(node);
        controller->lines.push_back(controller->currentLine);
        controller->undoLastLine();
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(strokeOfAHundredSamples)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks(argc, argv); }
