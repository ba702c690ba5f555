// What every benchmark program does first and last: draw with the real
// graphics back end on a phone's screen of three pixels a point (and store
// scenes in `sceneFiles`, when given), run the benchmarks asked for, and
// release what `prepare` made before exit.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/ui/Environment.h"

inline int runBenchmarks(int argc, char** argv, const std::function<void()>& prepare = {},
                         const std::function<void()>& release = {},
                         std::shared_ptr<scene::SceneFileFormat> sceneFiles = nullptr) {
    ui::LaunchDescription description;
    description.graphics = graphics::makeCairoBackend();
    description.sceneFiles = std::move(sceneFiles);
    ui::Environment environment(std::move(description));
    ui::EnvironmentScope platform(environment);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (prepare) prepare();
    benchmark::RunSpecifiedBenchmarks();
    if (release) release();
    benchmark::Shutdown();
    return 0;
}
