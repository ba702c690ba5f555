// Frame times of the headless renderer for drawings of many sprites: the
// steady frame (pictures already in textures), the drawing alone without
// reading the picture back, a frame that adds a stroke, a frame from a moved
// camera, and the first frame, which uploads the pictures.
//
//   cmake --build build --target bench_RenderBench && build/bench/bench_RenderBench
#include <GLES3/gl3.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>

#include "bench/BenchMain.h"
#include "bench/PhoneDrawing.h"
#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/offscreen/EglScreenRenderer.h"
#include "platform/render/Gl.h"
#include "platform/scene/Constraint.h"

namespace {

// A few of the program's emoji; the drawing uses them in turn by stroke.
const char* const emoji[] = {"🐶", "🐱", "🐭", "🐹", "🐰", "🦊", "🐻", "🐼", "🐨", "🐯", "🦁", "🐮", "🐷",
                             "🐸", "🐵", "🍎", "🍐", "🍊", "🍋",    "🍌", "🍉", "🍇", "🍓", "🍒",    "🍑"};

std::shared_ptr<graphics::Image> emojiPicture(const char* text) {
    graphics::beginImageContextWithOptions({30, 30}, false, 3);
    graphics::drawStringInRect(text, {{0, 0}, {30, 30}},
                               {graphics::Font::systemFont(30), std::nullopt});
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    return image;
}

struct Drawing {
    std::unique_ptr<ui::SceneView> view;
};

// `count` sprites in strokes of 100 across a 390 × 844 point view, placed as
// the program places them: 1.234 m from the camera through the touched
// point. With `ownPictures` every sprite has its own copy of its emoji's
// picture, as each touch sample draws one; otherwise a stroke shares one.
// Strokes start between `top` and `bottom` (points down the view).
Drawing makeDrawing(int count, bool ownPictures, double top = 60, double bottom = 760) {
    Drawing drawing;
    drawing.view = std::make_unique<ui::SceneView>();
    auto& view = *drawing.view;
    view.setFrame({{0, 0}, {390, 844}});
    view.setScene(std::make_shared<scene::Scene>());
    view.session().run(std::make_shared<ar::WorldTrackingConfiguration>(), ar::RunOptions::none);
    view.session().deliverFrame(scene::Matrix4::identity());

    std::vector<std::shared_ptr<graphics::Image>> shared;
    for (const char* e : emoji) shared.push_back(emojiPicture(e));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> across(20, 370), down(top, bottom), turn(-0.4, 0.4);
    for (int i = 0; i < count;) {
        std::size_t pick = static_cast<std::size_t>(i / 100) % shared.size();
        double x = across(random), y = down(random), heading = turn(random) * 8;
        for (int sample = 0; sample < 100 && i < count; ++sample, ++i) {
            heading += turn(random);
            x = std::clamp(x + 4 * std::cos(heading), 0.0, 390.0);
            y = std::clamp(y + 4 * std::sin(heading), 0.0, 844.0);
            scene::Vector3 far =
                view.unprojectPoint({static_cast<float>(x), static_cast<float>(y), 1});
            scene::Vector3 near =
                view.unprojectPoint({static_cast<float>(x), static_cast<float>(y), 0});
            scene::Vector3 d = far - near;
            d = d * (1.234f / scene::length(d));
            auto plane = scene::Plane::planeWithWidth(0.1, 0.1);
            plane->firstMaterial()->diffuse.contents =
                ownPictures ? std::make_shared<graphics::Image>(
                                  std::make_shared<graphics::Bitmap>(*shared[pick]->cgImage()), 3)
                            : shared[pick];
            auto node = scene::Node::nodeWithGeometry(plane);
            node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
            node->setPosition(d);
            view.scene()->rootNode()->addChildNode(node);
        }
    }
    return drawing;
}

// Made in main and released there, while the EGL library is still whole.
std::unique_ptr<offscreen::EglScreenRenderer> egl;

offscreen::EglScreenRenderer& renderer() { return *egl; }

// What the renderer drew in the last timed frame.
void reportScene(benchmark::State& state, const render::FrameStats& stats) {
    state.counters["planes"] = static_cast<double>(stats.planes);
    state.counters["drawCalls"] = static_cast<double>(stats.sceneDrawCalls);
    state.counters["kept"] = stats.sceneKept ? 1 : 0;
    state.counters["drawn"] = static_cast<double>(stats.scenePlanesDrawn);
    state.counters["trimmed"] = static_cast<double>(stats.sceneTrimmed);
}

// The renderer's own main-thread work in the scene pass per timed frame,
// before the driver takes its draw calls (Mesa's software renderer then
// shades the vertices on the same thread).
struct Preparation {
    std::chrono::nanoseconds total{0};
    void add(const render::Renderer& r) { total += r.lastFrame().scenePreparation; }
    void report(benchmark::State& state) const {
        state.counters["prepareMs"] =
            std::chrono::duration<double, std::milli>(total).count() /
            static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
    }
};

// The steady frame as `snapshot` takes it: drawn and read back.
void steadyFrame(benchmark::State& state) {
    Drawing drawing = makeDrawing(static_cast<int>(state.range(0)), false);
    if (auto first = renderer().renderView(*drawing.view, 3); !first) {
        state.SkipWithError(first.error().c_str());
        return;
    }
    for (auto _ : state) {
        auto picture = renderer().renderView(*drawing.view, 3);
        benchmark::DoNotOptimize(picture);
    }
    const auto& stats = renderer().renderer()->lastFrame();
    state.counters["drawCalls"] = static_cast<double>(stats.sceneDrawCalls);
    state.counters["pictures"] = static_cast<double>(stats.pictures);
}

// A framebuffer of `width` pixels across and the phone's proportions, bound
// until the value goes.
struct Target {
    int width, height;
    render::RenderTarget target;
    explicit Target(int w)
        : width(w), height(w * 2532 / 1170), target(render::makeRenderTarget(width, height)) {}
    ~Target() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
};

// Frames of `drawing` into a target of `state.range(1)` pixels across, with
// the scene view's picture kept from frame to frame when `state.range(2)`
// is 1 (as the program does) and drawn whole every time when it is 0, and
// a picture drawn whole leaving out what nearer sprites hide when
// `state.range(3)` is 1 (as the program does) and drawing every plane
// whole when it is 0:
// one untimed, then one per iteration after `change` (timed with the
// frame); `restore`, when given, undoes the change afterwards and draws,
// untimed.
void timeFrames(benchmark::State& state, const Drawing& drawing,
                const std::function<void()>& change = {}, const std::function<void()>& restore = {},
                ui::RenderOptions options = ui::RenderOptions::softwareRasterizer()) {
    if (auto ready = renderer().prepare(); !ready) {
        state.SkipWithError(ready.error().c_str());
        return;
    }
    Target target(static_cast<int>(state.range(1)));
    auto& r = *renderer().renderer();
    options.keepPicture = options.keepPicture && state.range(2) != 0;
    options.hideCoveredTiles = options.hideCoveredTiles && state.range(3) != 0;
    r.setOptions(options);
    auto draw = [&] {
        r.drawSceneView(*drawing.view, target.width, target.height);
        glFinish();
    };
    draw();
    Preparation preparation;
    render::FrameStats timed;
    for (auto _ : state) {
        if (change) change();
        draw();
        preparation.add(r);
        timed = r.lastFrame();
        if (restore) {
            state.PauseTiming();
            restore();
            draw();
            state.ResumeTiming();
        }
    }
    reportScene(state, timed);
    preparation.report(state);
    r.setOptions(ui::RenderOptions::softwareRasterizer());
}

// The drawing alone, as a window would show it, with nothing changed: no
// read-back. With the kept picture the scene view's picture is copied from
// the last frame; without, every plane is drawn again, which is what a
// frame costs when the point of view moves. The CPU column is the main
// thread's time: at a tenth of the screen's width the pixels cost little,
// which leaves the renderer's own work per frame and the driver's (Mesa's
// software renderer shades vertices on the calling thread). At full width
// the real time is the software renderer's fill.
void drawOnly(benchmark::State& state) {
    timeFrames(state, makeDrawing(static_cast<int>(state.range(0)), false));
}

// A frame that adds one stroke of 100 sprites to the drawing; the stroke is
// taken away again between frames, untimed.
void strokeAdded(benchmark::State& state) {
    Drawing drawing = makeDrawing(static_cast<int>(state.range(0)), false);
    Drawing stroke = makeDrawing(100, false);
    std::vector<std::shared_ptr<scene::Node>> sprites =
        stroke.view->scene()->rootNode()->childNodes();
    const auto& root = drawing.view->scene()->rootNode();
    timeFrames(
        state, drawing,
        [&] {
            for (const auto& sprite : sprites) root->addChildNode(sprite);
        },
        [&] {
            for (const auto& sprite : sprites) sprite->removeFromParentNode();
        });
}

// A frame that adds one touch sample's sprite to the drawing, as a finger
// drawing does frame after frame: the sprites of a 100-sample stroke in
// turn; once all are in, they are taken away again, untimed. With `apart`
// the drawing keeps to the top of the screen and the stroke to the bottom,
// where no other sprite lies.
void addSamples(benchmark::State& state, bool apart) {
    Drawing drawing = apart ? makeDrawing(static_cast<int>(state.range(0)), false, 60, 330)
                            : makeDrawing(static_cast<int>(state.range(0)), false);
    Drawing stroke = apart ? makeDrawing(100, false, 600, 760) : makeDrawing(100, false);
    std::vector<std::shared_ptr<scene::Node>> sprites =
        stroke.view->scene()->rootNode()->childNodes();
    for (const auto& sprite : sprites) sprite->removeFromParentNode();
    const auto& root = drawing.view->scene()->rootNode();
    std::size_t next = 0;
    timeFrames(
        state, drawing, [&] { root->addChildNode(sprites[next++]); },
        [&] {
            if (next < sprites.size()) return;
            for (const auto& sprite : sprites) sprite->removeFromParentNode();
            next = 0;
        });
}

void sampleAdded(benchmark::State& state) { addSamples(state, false); }

void sampleAddedApart(benchmark::State& state) { addSamples(state, true); }

// A frame seen from a camera that has moved a little since the last one,
// as every frame in augmented reality is.
void cameraMoved(benchmark::State& state) {
    Drawing drawing = makeDrawing(static_cast<int>(state.range(0)), false);
    int step = 0;
    timeFrames(state, drawing, [&] {
        float turn = static_cast<float>(step++ % 20 + 1) * 0.1f;
        drawing.view->session().deliverFrame(ar::poseAt({turn * 0.01f, 0, 0}, turn, 0));
    });
}

// Frames in augmented reality as a GPU host draws them (none of the
// software rasteriser's tricks): the phone held in the hand sways a
// centimetre and turns a fraction of a degree, a little every frame.
void arFrame(benchmark::State& state) {
    Drawing drawing = makeDrawing(static_cast<int>(state.range(0)), false);
    int step = 0;
    timeFrames(
        state, drawing,
        [&] {
            const float t = static_cast<float>(++step) / 10;
            drawing.view->session().deliverFrame(
                ar::poseAt({0.01f * std::sin(t), 0.005f * std::cos(t), 0}, 0.3f * std::sin(t),
                           0.2f * std::cos(t)));
        },
        {}, ui::RenderOptions::gpu());
}

// Resident memory of this process, in bytes.
double residentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) * 1024;
    return 0;
}

// What a sprite holds, as the program places it (the controller's placement,
// filed in strokes of 100) and the renderer draws it: the resident memory
// the drawing adds, per sprite. Run it alone: freed memory of earlier
// benchmarks would be reused and hide part of the growth.
void memoryPerSprite(benchmark::State& state) {
    if (auto ready = renderer().prepare(); !ready) {
        state.SkipWithError(ready.error().c_str());
        return;
    }
    const auto sprites = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        auto controller = phoneDrawing();
        const auto& view = controller->sceneView;
        view->session().deliverFrame(scene::Matrix4::identity());
        Target target(117);
        auto& r = *renderer().renderer();
        r.drawSceneView(*view, target.width, target.height);
        glFinish();
        const auto& table = scrawlet::emojiTable();
        const double before = residentBytes();
        for (std::size_t i = 0; i < sprites; i += 100) {
            controller->pic = table[i / 100 % table.size()];
            scrawlet::Stroke stroke;
            for (std::size_t k = 0; k < 100; ++k)
                stroke.push_back(
                    controller->placeSprite({20.0 + static_cast<double>((i + 3 * k) % 350),
                                             60.0 + static_cast<double>(i / 100 % 700)}));
            controller->lines.push_back(std::move(stroke));
        }
        const double placed = residentBytes();
        r.drawSceneView(*view, target.width, target.height);
        glFinish();
        const double after = residentBytes();
        state.counters["bytesPerSprite"] = (after - before) / static_cast<double>(sprites);
        state.counters["placedBytesPerSprite"] = (placed - before) / static_cast<double>(sprites);
        controller->clearDrawing();
        r.drawSceneView(*view, target.width, target.height);
        glFinish();
    }
}

// The first frame of a drawing: every picture uploaded, and with
// `ownPictures` every sprite's bitmap hashed and compared once.
void firstFrame(benchmark::State& state) {
    Drawing drawing = makeDrawing(static_cast<int>(state.range(0)), state.range(1) != 0);
    if (auto ready = renderer().prepare(); !ready) {
        state.SkipWithError(ready.error().c_str());
        return;
    }
    for (auto _ : state) {
        renderer().renderer()->releaseTextures();
        auto picture = renderer().renderView(*drawing.view, 3);
        benchmark::DoNotOptimize(picture);
    }
    state.counters["uploads"] = static_cast<double>(renderer().renderer()->lastFrame().pictures);
}

BENCHMARK(steadyFrame)->Arg(0)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
// Frames of 1,000, 10,000 and 100,000 sprites a tenth of the screen wide,
// with the kept picture and without.
void framesOfEverySize(benchmark::internal::Benchmark* frames) {
    for (int sprites : {1000, 10000, 100000})
        for (int kept : {1, 0}) frames->Args({sprites, 117, kept, 1});
    frames->ArgNames({"sprites", "width", "keptPicture", "leaveOutHidden"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
// And full-size frames drawn whole, with what nearer sprites hide left out
// and without.
BENCHMARK(drawOnly)
    ->Apply(framesOfEverySize)
    ->Args({1000, 1170, 0, 1})
    ->Args({1000, 1170, 0, 0})
    ->Args({10000, 1170, 0, 1})
    ->Args({10000, 1170, 0, 0});
BENCHMARK(strokeAdded)->Apply(framesOfEverySize);
BENCHMARK(sampleAdded)->Apply(framesOfEverySize);
BENCHMARK(sampleAddedApart)->Apply(framesOfEverySize);
// And from a moved camera at full size, where what is hidden is worked out
// again for every frame (`prepareMs`).
BENCHMARK(cameraMoved)
    ->Apply(framesOfEverySize)
    ->Args({1000, 1170, 0, 1})
    ->Args({10000, 1170, 0, 1});
BENCHMARK(arFrame)
    ->Args({1000, 117, 0, 0})
    ->Args({10000, 117, 0, 0})
    ->Args({100000, 117, 0, 0})
    ->ArgNames({"sprites", "width", "keptPicture", "leaveOutHidden"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(memoryPerSprite)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(firstFrame)
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->ArgNames({"sprites", "ownPictures"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks(
        argc, argv, [] { egl = std::make_unique<offscreen::EglScreenRenderer>(); },
        [] { egl.reset(); });
}
