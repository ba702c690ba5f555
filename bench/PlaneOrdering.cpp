// Ordering the planes of a drawing for a frame, without GL: the stroke of
// sprites at arm's length that the page's AR benchmark draws, seen from a
// phone held in the hand that sways a centimetre and turns a fraction of a
// degree a little every frame. What the renderer does on the CPU before
// each augmented-reality frame, apart from building and uploading the draw
// lists. With soft edges by coverage (the argument's second value 1) only
// see-through planes are ordered each frame, and this stroke has none.
// Not a test:
//   build/bench/bench_PlaneOrdering
#include <benchmark/benchmark.h>

#include <cmath>

#include "BenchMain.h"
#include "platform/render/PlaneOrder.h"
#include "stages/StagePictures.h"
#include "stages/StageScene.h"

namespace {

using scene::Vector3;

// `count` sprites of one picture zig-zagging over the middle of the view,
// 1.234 m from the eye, as `bench/web-ar.mjs` places them.
void stroke(stagetest::StageScene& stage, int count) {
    const auto picture = stagetest::disc(32, 14);
    for (int i = 0; i < count; ++i) {
        const float a = (static_cast<float>((i * 7) % 270) - 135) / 390 * 0.9f;
        const float b = (static_cast<float>((i * 13) % 500) - 250) / 844 * 1.6f;
        stage.add(
            picture,
            {1.234f * std::sin(a), -1.234f * std::sin(b), -1.234f * std::cos(a) * std::cos(b)},
            0.03, 0.03);
    }
    stage.refresh();
}

void orderMovingCamera(benchmark::State& state) {
    stagetest::StageScene stage;
    stroke(stage, static_cast<int>(state.range(0)));
    render::PlaneOrder order;
    order.setCoverage(state.range(1) != 0);
    int step = 0;
    for (auto _ : state) {
        const float t = static_cast<float>(++step) / 10;
        const float yaw = 0.005f * std::sin(t), pitch = 0.003f * std::cos(t);
        const Vector3 eye{0.01f * std::sin(t), 0.005f * std::cos(t), 0};
        const Vector3 forward{-std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                              -std::cos(yaw) * std::cos(pitch)};
        order.update(stage.cache, stage.facts, eye, forward);
        order.mergeWaiting();
        order.listsBuilt();
        benchmark::DoNotOptimize(order.blended().data());
    }
}

}  // namespace

BENCHMARK(orderMovingCamera)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->ArgNames({"sprites", "coverage"})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks(argc, argv); }
