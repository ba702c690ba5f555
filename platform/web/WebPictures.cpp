#include "platform/web/WebPictures.h"

namespace web {

void WebPictures::attach(render::Renderer& renderer, void (*makeCurrent)()) {
    renderer_ = &renderer;
    makeCurrent_ = makeCurrent;
}

template <class Draw>
platform::Result<std::shared_ptr<const graphics::Bitmap>> WebPictures::capture(
    graphics::Size points, double scale, Draw draw) {
    if (renderer_ == nullptr)
        return platform::fail("pictures cannot be drawn: this browser offers no WebGL 2");
    TRY_LET(size, render::pictureSize(points, scale));
    makeCurrent_();
    // A picture of the screen shows every picture, uploaded or not yet.
    renderer_->setUploadWhole(true);
    auto picture = target_.capture(size, draw);
    renderer_->setUploadWhole(false);
    if (!picture) return platform::fail(picture.error());
    return std::shared_ptr<const graphics::Bitmap>(std::move(picture).value());
}

platform::Result<std::shared_ptr<const graphics::Bitmap>> WebPictures::renderFrame(
    const ui::FrameDescription& frame, double scale) {
    return capture(frame.screenSize, scale,
                   [&](int width, int height) { renderer_->drawFrame(frame, width, height); });
}

platform::Result<std::shared_ptr<const graphics::Bitmap>> WebPictures::renderView(
    const ui::SceneView& view, double scale) {
    return capture(view.bounds().size, scale,
                   [&](int width, int height) { renderer_->drawSceneView(view, width, height); });
}

}  // namespace web
