// What a phone's photos cost: placing a 48 MP JPEG (8064 × 6048) and a PNG
// of 8192 × 8192 pixels as the picker does (read, decode, make upright,
// plane), and saving a drawing that holds four such photos. Counters: the
// most resident memory the work took on top of what was resident before
// (peakMB, measured once in a child process forked for it), the
// kept picture's long side, and the saved file's size.
//   cmake --build build -j2 --target bench_Photos && build/bench/bench_Photos
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchMain.h"
#include "bench/PhoneDrawing.h"
#include "controller/ViewController.h"
#include "platform/Files.h"
#include "platform/graphics/PhotoFile.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "tests/support/LargePictures.h"
#include "tests/support/PeakMemory.h"

namespace {

using scrawlet::ViewController;

std::filesystem::path scratch(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("scrawlet-bench-photos-" + std::to_string(::getpid()) + "-" + name);
}

const std::filesystem::path& jpegFile() {
    static const std::filesystem::path file = [] {
        auto path = scratch("48mp.jpg");
        (void)platform::writeFile(path, testsupport::makeLargeJpeg());
        return path;
    }();
    return file;
}

const std::filesystem::path& pngFile() {
    static const std::filesystem::path file = [] {
        auto path = scratch("8192.png");
        (void)platform::writeFile(path, testsupport::makeLargePng());
        return path;
    }();
    return file;
}

// Places the photo in `file` in the controller's drawing as the picker does.
bool place(const std::shared_ptr<ViewController>& controller, const std::filesystem::path& file) {
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setDelegate(controller);
    return picker->pickFile(file).ok();
}

void placePhoto(benchmark::State& state, const std::filesystem::path& file) {
    int side = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = phoneDrawing();
        state.ResumeTiming();
        if (!place(controller, file)) state.SkipWithError("the photo was refused");
        state.PauseTiming();
        if (!controller->lines.empty()) {
            const auto& geometry = controller->lines.back().front()->geometry();
            const auto& picture = geometry->firstMaterial()->diffuse.contents;
            side = std::max(picture->cgImage()->width(), picture->cgImage()->height());
        }
        controller.reset();
        state.ResumeTiming();
    }
    state.counters["peakMB"] = static_cast<double>(
        testsupport::peakGrowthMegabytesInChild([&] { place(phoneDrawing(), file); }));
    state.counters["keptSide"] = side;
    state.counters["fileMB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

void placeJpeg48MP(benchmark::State& state) { placePhoto(state, jpegFile()); }
BENCHMARK(placeJpeg48MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void placePng8192(benchmark::State& state) { placePhoto(state, pngFile()); }
BENCHMARK(placePng8192)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Four different 48 MP photos, placed afresh for every save, so that each
// save encodes them as the first save of a drawing does.
void saveFourPhotos(benchmark::State& state) {
    std::vector<std::filesystem::path> photos;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        photos.push_back(scratch("photo-" + std::to_string(seed) + ".jpg"));
        (void)platform::writeFile(photos.back(), testsupport::makeLargeJpeg(8064, 6048, seed));
    }
    auto drawing = [&] {
        auto controller = phoneDrawing();
        for (const auto& photo : photos) place(controller, photo);
        return controller;
    };
    auto file = scratch("four.scn");
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = drawing();
        state.ResumeTiming();
        auto written = controller->sceneView->scene()->writeToUrl(file);
        if (!written) state.SkipWithError(written.error().c_str());
    }
    auto controller = drawing();
    state.counters["peakMB"] = static_cast<double>(testsupport::peakGrowthMegabytesInChild(
        [&] { (void)controller->sceneView->scene()->writeToUrl(file); }));
    state.counters["fileMB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    std::filesystem::remove(file);
    for (const auto& photo : photos) std::filesystem::remove(photo);
}
BENCHMARK(saveFourPhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(
        argc, argv, {},
        [] {
            std::error_code ignored;
            std::filesystem::remove(scratch("48mp.jpg"), ignored);
            std::filesystem::remove(scratch("8192.png"), ignored);
        },
        scene::makeGltfSceneFileFormat());
}
