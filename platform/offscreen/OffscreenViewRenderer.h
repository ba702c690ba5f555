// The scene view drawn into a picture with the window's own OpenGL ES
// context: an offscreen framebuffer read back into a bitmap. Sharing a
// picture draws the view this way.
#pragma once

#include <memory>

#include "platform/render/Offscreen.h"
#include "platform/render/Renderer.h"
#include "platform/ui/SceneView.h"

namespace offscreen {

class OffscreenViewRenderer : public ui::ViewRenderer {
public:
    explicit OffscreenViewRenderer(render::Renderer& renderer) : renderer_(&renderer) {}

    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderView(const ui::SceneView& view,
                                                                         double scale) override;
    // The renderer and its context are going away; draw nothing from now on.
    void detach() {
        renderer_ = nullptr;
        target_ = render::OffscreenTarget{};
    }

private:
    render::Renderer* renderer_;
    render::OffscreenTarget target_;
};

}  // namespace offscreen
