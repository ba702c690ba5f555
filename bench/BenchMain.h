// What every benchmark program does first and last: draw with the real
// graphics back end on a phone's screen of three pixels a point, run the
// benchmarks asked for, and release what `prepare` made before exit.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

#include "platform/graphics/ImageContext.h"
#include "platform/graphics/cairo/CairoBackend.h"

inline int runBenchmarks(int argc, char** argv, const std::function<void()>& prepare = {},
                         const std::function<void()>& release = {}) {
    graphics::installBackend(graphics::makeCairoBackend());
    graphics::setMainScreenScale(3);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (prepare) prepare();
    benchmark::RunSpecifiedBenchmarks();
    if (release) release();
    benchmark::Shutdown();
    return 0;
}
