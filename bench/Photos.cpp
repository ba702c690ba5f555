// What a phone's photos cost: placing a 48 MP JPEG (8064 × 6048) and a PNG
// of 8192 × 8192 pixels as the picker does (read, decode, make upright,
// plane), and saving a drawing that holds four such photos. Counters: the
// most resident memory the work took on top of what was resident before
// (peakMB, from the kernel's high-water mark, reset before each run), the
// kept picture's long side, and the saved file's size.
//   cmake --build build -j2 --target bench_Photos && build/bench/bench_Photos
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchMain.h"
#include "bench/PhoneDrawing.h"
#include "controller/ViewController.h"
#include "platform/Files.h"
#include "platform/graphics/PhotoFile.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "tests/support/LargePictures.h"

namespace {

using scrawlet::ViewController;

// A line of /proc/self/status, in kilobytes.
long statusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

// Starts counting the peak afresh; answers what is resident now.
long resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKilobytes("VmRSS");
}

double peakMegabytesSince(long residentBefore) {
    return static_cast<double>(statusKilobytes("VmHWM") - residentBefore) / 1024.0;
}

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
    double peak = 0;
    int side = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = phoneDrawing();
        long before = resetPeak();
        state.ResumeTiming();
        if (!place(controller, file)) state.SkipWithError("the photo was refused");
        state.PauseTiming();
        peak = std::max(peak, peakMegabytesSince(before));
        if (!controller->lines.empty()) {
            const auto& geometry = controller->lines.back().front()->geometry();
            const auto& picture = geometry->firstMaterial()->diffuse.contents;
            side = std::max(picture->cgImage()->width(), picture->cgImage()->height());
        }
        controller.reset();
        state.ResumeTiming();
    }
    state.counters["peakMB"] = peak;
    state.counters["keptSide"] = side;
    state.counters["fileMB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

void placeJpeg48MP(benchmark::State& state) { placePhoto(state, jpegFile()); }
BENCHMARK(placeJpeg48MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void placePng8192(benchmark::State& state) { placePhoto(state, pngFile()); }
BENCHMARK(placePng8192)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Four 48 MP photos, placed once; every save writes the whole drawing, as
// the menu's save does.
void saveFourPhotos(benchmark::State& state) {
    auto controller = phoneDrawing();
    for (int i = 0; i < 4; ++i) place(controller, jpegFile());
    auto file = scratch("four.scn");
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        long before = resetPeak();
        state.ResumeTiming();
        auto written = controller->sceneView->scene()->writeToUrl(file);
        if (!written) state.SkipWithError(written.error().c_str());
        state.PauseTiming();
        peak = std::max(peak, peakMegabytesSince(before));
        state.ResumeTiming();
    }
    state.counters["peakMB"] = peak;
    state.counters["fileMB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    std::filesystem::remove(file);
}
BENCHMARK(saveFourPhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    scene::installSceneFileFormat(scene::makeGltfSceneFileFormat());
    return runBenchmarks(argc, argv, {}, [] {
        std::error_code ignored;
        std::filesystem::remove(scratch("48mp.jpg"), ignored);
        std::filesystem::remove(scratch("8192.png"), ignored);
    });
}
