// What the render tests share: one EGL renderer for the whole test program,
// scene views built by hand with a pose, pictures to put in them, and ways
// to look at the pixels that come out.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/headless/EglScreenRenderer.h"
#include "platform/scene/Node.h"
#include "platform/ui/SceneView.h"

namespace rendertest {

// The renderer every test draws with, made once. It is released before the
// program exits, while the EGL library is still whole.
headless::EglScreenRenderer& eglRenderer();

// A scene view of `size` points with an empty scene, its session running
// and one frame delivered with the camera at `pose`.
std::unique_ptr<ui::SceneView> makeView(graphics::Size size = {390, 844},
                                        const scene::Matrix4& pose = scene::Matrix4::identity());
// Delivers a frame with the camera at `pose`.
void moveCamera(ui::SceneView& view, const scene::Matrix4& pose);

// A picture of `width` by `height` points at `scale`, filled with `color`
// (premultiplied).
std::shared_ptr<graphics::Image> solidImage(int width, int height, graphics::Rgba color,
                                            double scale = 3);
// A picture whose left half is `left` and right half is `right`.
std::shared_ptr<graphics::Image> splitImage(int width, int height, graphics::Rgba left,
                                            graphics::Rgba right, double scale = 3);
// An emoji drawn as the program draws a sprite's picture: 30 points square.
std::shared_ptr<graphics::Image> emojiImage(const std::string& text, double scale = 3);

// A sprite as the program places one: a 0.1 m plane showing `image`, with a
// billboard constraint, under the scene's root.
std::shared_ptr<scene::Node> addSprite(ui::SceneView& view,
                                       std::shared_ptr<const graphics::Image> image,
                                       scene::Vector3 position);
// A plane without constraints, facing +z unless turned by `rotation`.
std::shared_ptr<scene::Node> addPlane(ui::SceneView& view,
                                      std::shared_ptr<const graphics::Image> image, double width,
                                      double height, scene::Vector3 position,
                                      scene::Vector4 rotation = {}, bool doubleSided = false,
                                      float opacity = 1);

// The view drawn at `scale`; a failed drawing fails the test and gives none.
std::shared_ptr<const graphics::Bitmap> render(const ui::SceneView& view, double scale = 3);

// The pixel under the point (x, y) in points of a picture at `scale`.
graphics::Rgba pixelAt(const graphics::Bitmap& bitmap, double x, double y, double scale = 3);
// The pixel under where `world` projects in `view`.
graphics::Rgba pixelAtWorld(const graphics::Bitmap& bitmap, const ui::SceneView& view,
                            scene::Vector3 world, double scale = 3);

bool near(graphics::Rgba a, graphics::Rgba b, int tolerance);
// `over` composited over `under` (premultiplied, `over` faded by `alpha`).
graphics::Rgba over(graphics::Rgba top, graphics::Rgba under, double alpha = 1);
std::string describe(graphics::Rgba color);

}  // namespace rendertest
