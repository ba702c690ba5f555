#include "platform/desktop/Offscreen.h"

#include <cstdio>

namespace desktop {

std::shared_ptr<graphics::Bitmap> OffscreenViewRenderer::renderView(const ui::SceneView& view,
                                                                    double scale) {
    if (renderer_ == nullptr) return nullptr;
    auto size = render::pictureSize(view.bounds().size, scale);
    if (!size) return nullptr;
    auto picture = target_.capture(size.value(), [&](int width, int height) {
        renderer_->drawSceneView(view, width, height);
    });
    if (!picture) {
        std::fprintf(stderr, "scrawlet: %s\n", picture.error().c_str());
        return nullptr;
    }
    return std::move(picture).value();
}

}  // namespace desktop
