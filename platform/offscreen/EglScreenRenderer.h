// Pictures without a display: Mesa's software renderer, reached through EGL,
// draws the screen offscreen and reads it back, for `snapshot` and for the
// scene view drawing itself when a picture is shared.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/automation/Runner.h"
#include "platform/graphics/Bitmap.h"
#include "platform/render/Renderer.h"
#include "platform/ui/SceneView.h"

namespace offscreen {

// The EGL display and its OpenGL ES 3.0 context are made on first use; a
// machine without them gets the reason, never a crash.
class EglScreenRenderer : public automation::ScreenPictures {
public:
    // Mesa draws here: every software rasteriser's trick is on unless
    // `options` say otherwise.
    explicit EglScreenRenderer(
        const ui::RenderOptions& options = ui::RenderOptions::softwareRasterizer());
    ~EglScreenRenderer() override;
    EglScreenRenderer(const EglScreenRenderer&) = delete;
    EglScreenRenderer& operator=(const EglScreenRenderer&) = delete;

    // The whole screen as `frame` describes it, presented screens included.
    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderFrame(
        const ui::FrameDescription& frame, double scale) override;
    // The scene view with its overlay, without what is presented over it.
    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderView(const ui::SceneView& view,
                                                                         double scale);

    // Makes the EGL display, context and renderer on first use; fails with
    // the reason when this machine cannot give us an OpenGL ES 3.0 context.
    platform::Result<void> prepare();
    // The renderer, once prepared; for tests and benchmarks.
    render::Renderer* renderer();

    // A view renderer for the launch description that draws through this
    // one for as long as it lives, and draws nothing afterwards: the
    // application may outlive the host that owns this one.
    std::shared_ptr<ui::ViewRenderer> viewRenderer();

private:
    template <class Draw>
    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderInto(graphics::Size points,
                                                                         double scale, Draw draw);

    struct Egl;
    std::unique_ptr<Egl> egl_;
    std::shared_ptr<bool> alive_;
};

}  // namespace offscreen
