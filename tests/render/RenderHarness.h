// What the render tests share: one EGL renderer for the whole test program,
// scene views built by hand with a pose, pictures to put in them, and ways
// to look at the pixels that come out.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/offscreen/EglScreenRenderer.h"
#include "platform/scene/Constraint.h"
#include "platform/scene/Node.h"
#include "platform/ui/SceneView.h"

namespace rendertest {

inline std::unique_ptr<offscreen::EglScreenRenderer>& sharedRenderer() {
    static std::unique_ptr<offscreen::EglScreenRenderer> renderer;
    return renderer;
}

// Releases the renderer after the last test, before static destruction,
// when Mesa's own exit handlers may already have run.
class RendererEnvironment : public testing::Environment {
public:
    void TearDown() override { sharedRenderer().reset(); }
};
inline testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new RendererEnvironment);

// The renderer every test draws with, made once.
inline offscreen::EglScreenRenderer& eglRenderer() {
    auto& renderer = sharedRenderer();
    if (!renderer) renderer = std::make_unique<offscreen::EglScreenRenderer>();
    return *renderer;
}

// The GL renderer inside it, made with the first picture drawn.
inline render::Renderer& renderer() { return *eglRenderer().renderer(); }

// Turns one of the renderer's options on or off.
inline void setOption(bool ui::RenderOptions::*option, bool on) {
    ui::RenderOptions options = renderer().options();
    options.*option = on;
    renderer().setOptions(options);
}

// A scene view of `size` points with an empty scene, its session running
// and one frame delivered with the camera at `pose`.
inline std::unique_ptr<ui::SceneView> makeView(
    graphics::Size size = {390, 844}, const scene::Matrix4& pose = scene::Matrix4::identity()) {
    auto view = std::make_unique<ui::SceneView>();
    view->setFrame({{0, 0}, size});
    view->setScene(std::make_shared<scene::Scene>());
    view->session().run(std::make_shared<ar::WorldTrackingConfiguration>(), ar::RunOptions::none);
    view->session().deliverFrame(pose);
    return view;
}

// A picture of `width` by `height` points at `scale` whose left half is
// `left` and right half is `right` (premultiplied), or all one colour.
inline std::shared_ptr<graphics::Image> splitImage(int width, int height, graphics::Rgba left,
                                                   graphics::Rgba right, double scale = 3) {
    int w = static_cast<int>(std::lround(width * scale)),
        h = static_cast<int>(std::lround(height * scale));
    auto bitmap = std::make_shared<graphics::Bitmap>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap->setPixel(x, y, x < w / 2 ? left : right);
    return std::make_shared<graphics::Image>(bitmap, scale);
}
inline std::shared_ptr<graphics::Image> solidImage(int width, int height, graphics::Rgba color,
                                                   double scale = 3) {
    return splitImage(width, height, color, color, scale);
}

// A plane showing `image`, facing +z unless turned by `rotation`.
inline std::shared_ptr<scene::Node> makePlane(std::shared_ptr<const graphics::Image> image,
                                              double width, double height, scene::Vector3 position,
                                              scene::Vector4 rotation = {},
                                              bool doubleSided = false, float opacity = 1) {
    auto plane = scene::Plane::planeWithWidth(width, height);
    plane->firstMaterial()->diffuse.contents = std::move(image);
    plane->firstMaterial()->doubleSided = doubleSided;
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setPosition(position);
    node->setRotation(rotation);
    node->setOpacity(opacity);
    return node;
}
// The same under the scene's root.
inline std::shared_ptr<scene::Node> addPlane(ui::SceneView& view,
                                             std::shared_ptr<const graphics::Image> image,
                                             double width, double height, scene::Vector3 position,
                                             scene::Vector4 rotation = {}, bool doubleSided = false,
                                             float opacity = 1) {
    auto node =
        makePlane(std::move(image), width, height, position, rotation, doubleSided, opacity);
    view.scene()->rootNode()->addChildNode(node);
    return node;
}
// A sprite as the program places one: a 0.1 m plane with a billboard
// constraint, made whole before it joins the scene.
inline std::shared_ptr<scene::Node> addSprite(ui::SceneView& view,
                                              std::shared_ptr<const graphics::Image> image,
                                              scene::Vector3 position) {
    auto node = makePlane(std::move(image), 0.1, 0.1, position);
    node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
    view.scene()->rootNode()->addChildNode(node);
    return node;
}

// The view drawn at `scale`; a failed drawing fails the test and gives none.
inline std::shared_ptr<const graphics::Bitmap> render(const ui::SceneView& view, double scale = 3) {
    auto picture = eglRenderer().renderView(view, scale);
    if (picture) return picture.value();
    ADD_FAILURE() << "the view could not be drawn: " << picture.error();
    return nullptr;
}

// The pixel under the point (x, y) in points of a picture at `scale`, or
// under where `world` projects in `view`.
inline graphics::Rgba pixelAt(const graphics::Bitmap& bitmap, double x, double y,
                              double scale = 3) {
    int px = std::clamp(static_cast<int>(std::floor(x * scale)), 0, bitmap.width() - 1);
    int py = std::clamp(static_cast<int>(std::floor(y * scale)), 0, bitmap.height() - 1);
    return bitmap.pixel(px, py);
}
inline graphics::Rgba pixelAtWorld(const graphics::Bitmap& bitmap, const ui::SceneView& view,
                                   scene::Vector3 world, double scale = 3) {
    scene::Vector3 screen = view.projectPoint(world);
    return pixelAt(bitmap, screen.x, screen.y, scale);
}

inline bool near(graphics::Rgba a, graphics::Rgba b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

// `top` composited over `under` (premultiplied, `top` faded by `alpha`).
inline graphics::Rgba over(graphics::Rgba top, graphics::Rgba under, double alpha = 1) {
    auto mix = [&](int t, int u) {
        double a = top.a / 255.0 * alpha;
        return static_cast<std::uint8_t>(std::lround(t * alpha + u * (1 - a)));
    };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), mix(top.a, under.a)};
}

inline std::string describe(graphics::Rgba color) {
    std::ostringstream out;
    out << "rgba(" << int(color.r) << ", " << int(color.g) << ", " << int(color.b) << ", "
        << int(color.a) << ")";
    return out.str();
}

// How many pixels of two pictures of one size differ by more than
// `tolerance` in a channel; the first few are reported as failures.
inline int differentPixels(const graphics::Bitmap& picture, const graphics::Bitmap& expected,
                           int tolerance) {
    EXPECT_EQ(picture.width(), expected.width());
    EXPECT_EQ(picture.height(), expected.height());
    int different = 0;
    for (int y = 0; y < std::min(picture.height(), expected.height()); ++y)
        for (int x = 0; x < std::min(picture.width(), expected.width()); ++x)
            if (!near(picture.pixel(x, y), expected.pixel(x, y), tolerance) && different++ < 3)
                ADD_FAILURE() << "at " << x << ", " << y << ": " << describe(picture.pixel(x, y))
                              << " where " << describe(expected.pixel(x, y)) << " was expected";
    return different;
}

}  // namespace rendertest
