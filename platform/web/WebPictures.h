// Pictures drawn with the page's own WebGL 2 context: an offscreen
// framebuffer read back into a bitmap. Scripts' snapshots draw the screen
// this way, and sharing a picture draws the scene view this way.
#pragma once

#include <memory>

#include "platform/automation/Runner.h"
#include "platform/render/Offscreen.h"
#include "platform/render/Renderer.h"
#include "platform/ui/SceneView.h"

namespace web {

class WebPictures : public automation::ScreenPictures, public ui::ViewRenderer {
public:
    // Draws with `renderer` from now on; `makeCurrent` makes its context
    // current. Until then (a browser without WebGL 2) nothing can be drawn.
    void attach(render::Renderer& renderer, void (*makeCurrent)());

    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderFrame(
        const ui::FrameDescription& frame, double scale) override;
    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderView(const ui::SceneView& view,
                                                                         double scale) override;

private:
    template <class Draw>
    platform::Result<std::shared_ptr<const graphics::Bitmap>> capture(graphics::Size points,
                                                                      double scale, Draw draw);

    render::Renderer* renderer_ = nullptr;
    void (*makeCurrent_)() = nullptr;
    render::OffscreenTarget target_;
};

}  // namespace web
