// What saving and loading a large drawing costs: sprites placed by the
// controller as a finger places them (strokes of a hundred samples, a new
// emoji and a slightly moved camera for each stroke), written to a scene
// file and read back. Counters: the file's bytes per sprite, and the most
// memory the save or load allocated on top of what was there, as a
// multiple of the file's size.
//   cmake --build build -j2 --target bench_SaveLoad && build/bench/bench_SaveLoad
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>

#include "bench/BenchMain.h"
#include "bench/PhoneDrawing.h"
#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "platform/scene/gltf/GltfSceneFile.h"

// Every allocation of the program is counted, so that a benchmark can say
// how much memory the work it measures held at its peak.
namespace {
std::atomic<std::size_t> allocatedNow{0};
std::atomic<std::size_t> allocatedPeak{0};

void* counted(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    std::size_t now = allocatedNow += malloc_usable_size(p);
    std::size_t peak = allocatedPeak.load();
    while (now > peak && !allocatedPeak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void release(void* p) noexcept {
    if (p == nullptr) return;
    allocatedNow -= malloc_usable_size(p);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return counted(std::malloc(size)); }
void* operator new[](std::size_t size) { return counted(std::malloc(size)); }
void* operator new(std::size_t size, std::align_val_t align) {
    return counted(std::aligned_alloc(static_cast<std::size_t>(align),
                                      (size + static_cast<std::size_t>(align) - 1) /
                                          static_cast<std::size_t>(align) *
                                          static_cast<std::size_t>(align)));
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }

namespace {

using scrawlet::ViewController;

// Drawings are made once for each size and kept for every benchmark.
std::map<long, std::shared_ptr<ViewController>>& drawings() {
    static std::map<long, std::shared_ptr<ViewController>> made;
    return made;
}

const scene::Scene& drawingOf(long sprites) {
    auto& controller = drawings()[sprites];
    if (!controller) {
        controller = phoneDrawing();
        const auto& view = controller->sceneView;
        const auto& table = scrawlet::emojiTable();
        for (long i = 0; i < sprites; ++i) {
            long stroke = i / 100;
            if (i % 100 == 0) {
                controller->pic = table[static_cast<std::size_t>(stroke) % table.size()];
                view->session().deliverFrame(
                    ar::poseAt({0.01f * static_cast<float>(stroke % 50), 0, 0},
                               static_cast<float>(stroke % 30), 5));
            }
            controller->placeSprite({50.0 + 3 * (i % 100), 200.0 + (stroke * 7) % 500});
        }
    }
    return *controller->sceneView->scene();
}

std::filesystem::path fileFor(long sprites) {
    return std::filesystem::temp_directory_path() /
           ("scrawlet-bench-" + std::to_string(::getpid()) + "-" + std::to_string(sprites) +
            ".scn");
}

void setCounters(benchmark::State& state, long sprites, std::size_t peakExtra) {
    auto bytes = std::filesystem::file_size(fileFor(sprites));
    state.counters["bytesPerSprite"] = static_cast<double>(bytes) / static_cast<double>(sprites);
    state.counters["fileMB"] = static_cast<double>(bytes) / 1e6;
    state.counters["extraMemoryPerFileByte"] =
        static_cast<double>(peakExtra) / static_cast<double>(bytes);
}

void save(benchmark::State& state) {
    const scene::Scene& drawing = drawingOf(state.range(0));
    auto file = fileFor(state.range(0));
    std::size_t peakExtra = 0;
    for (auto _ : state) {
        std::size_t before = allocatedNow;
        allocatedPeak = before;
        auto written = drawing.writeToUrl(file);
        peakExtra = std::max(peakExtra, allocatedPeak - before);
        if (!written) state.SkipWithError(written.error().c_str());
    }
    setCounters(state, state.range(0), peakExtra);
}
BENCHMARK(save)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void load(benchmark::State& state) {
    auto file = fileFor(state.range(0));
    if (!std::filesystem::exists(file)) {
        auto written = drawingOf(state.range(0)).writeToUrl(file);
        if (!written) state.SkipWithError(written.error().c_str());
    }
    std::size_t peakExtra = 0;
    for (auto _ : state) {
        std::size_t before = allocatedNow;
        allocatedPeak = before;
        auto read = scene::Scene::sceneWithUrl(file);
        peakExtra = std::max(peakExtra, allocatedPeak - allocatedNow);
        if (!read) state.SkipWithError(read.error().c_str());
        benchmark::DoNotOptimize(read);
    }
    setCounters(state, state.range(0), peakExtra);
}
BENCHMARK(load)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Hostile scene files kept with the tests, which must be refused in a
// moment: pictures that would decode to a gigabyte, nodes nested too deep,
// JSON nested too deep.
void refuseHostile(benchmark::State& state) {
    static const char* const names[] = {"image-bomb.glb", "node-deep.glb", "json-deep.glb"};
    auto file = std::filesystem::path(SCRAWLET_TEST_DATA) / "scenes" / names[state.range(0)];
    state.SetLabel(file.filename().string());
    for (auto _ : state) {
        auto read = scene::Scene::sceneWithUrl(file);
        if (read) state.SkipWithError("a hostile file was read");
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK(refuseHostile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(
        argc, argv, {},
        [] {
            for (const auto& [sprites, controller] : drawings()) {
                (void)controller;
                std::filesystem::remove(fileFor(sprites));
            }
            drawings().clear();
        },
        scene::makeGltfSceneFileFormat());
}
