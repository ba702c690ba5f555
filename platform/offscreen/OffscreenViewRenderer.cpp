#include "platform/offscreen/OffscreenViewRenderer.h"

namespace offscreen {

platform::Result<std::shared_ptr<const graphics::Bitmap>> OffscreenViewRenderer::renderView(
    const ui::SceneView& view, double scale) {
    if (renderer_ == nullptr) return platform::fail("the window is closing");
    TRY_LET(size, render::pictureSize(view.bounds().size, scale));
    TRY_LET(picture, target_.capture(size, [&](int width, int height) {
        renderer_->drawSceneView(view, width, height);
    }));
    return std::shared_ptr<const graphics::Bitmap>(std::move(picture));
}

}  // namespace offscreen
