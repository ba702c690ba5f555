#include "platform/offscreen/OffscreenViewRenderer.h"

#include "platform/Log.h"

namespace offscreen {

std::shared_ptr<const graphics::Bitmap> OffscreenViewRenderer::renderView(const ui::SceneView& view,
                                                                          double scale) {
    if (renderer_ == nullptr) return nullptr;
    auto size = render::pictureSize(view.bounds().size, scale);
    if (!size) return nullptr;
    auto picture = target_.capture(size.value(), [&](int width, int height) {
        renderer_->drawSceneView(view, width, height);
    });
    if (!picture) {
        platform::log(picture.error());
        return nullptr;
    }
    return std::move(picture).value();
}

}  // namespace offscreen
