#include "RenderHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "platform/scene/Constraint.h"

namespace rendertest {

namespace {
std::unique_ptr<headless::EglScreenRenderer>& sharedRenderer() {
    static std::unique_ptr<headless::EglScreenRenderer> renderer;
    return renderer;
}

// Releases the renderer after the last test, before static destruction,
// when Mesa's own exit handlers may already have run.
class RendererEnvironment : public testing::Environment {
public:
    void TearDown() override { sharedRenderer().reset(); }
};
[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new RendererEnvironment);
}  // namespace

headless::EglScreenRenderer& eglRenderer() {
    auto& renderer = sharedRenderer();
    if (!renderer) renderer = std::make_unique<headless::EglScreenRenderer>();
    return *renderer;
}

std::unique_ptr<ui::SceneView> makeView(graphics::Size size, const scene::Matrix4& pose) {
    auto view = std::make_unique<ui::SceneView>();
    view->setFrame({{0, 0}, size});
    view->setScene(std::make_shared<scene::Scene>());
    view->session().run(std::make_shared<ar::WorldTrackingConfiguration>(), ar::RunOptions::none);
    view->session().deliverFrame(pose);
    return view;
}

void moveCamera(ui::SceneView& view, const scene::Matrix4& pose) {
    view.session().deliverFrame(pose);
}

std::shared_ptr<graphics::Image> splitImage(int width, int height, graphics::Rgba left,
                                            graphics::Rgba right, double scale) {
    int w = static_cast<int>(std::lround(width * scale)),
        h = static_cast<int>(std::lround(height * scale));
    auto bitmap = std::make_shared<graphics::Bitmap>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bitmap->setPixel(x, y, x < w / 2 ? left : right);
    return std::make_shared<graphics::Image>(bitmap, scale);
}

std::shared_ptr<graphics::Image> solidImage(int width, int height, graphics::Rgba color,
                                            double scale) {
    return splitImage(width, height, color, color, scale);
}

std::shared_ptr<graphics::Image> emojiImage(const std::string& text, double scale) {
    graphics::beginImageContextWithOptions({30, 30}, false, scale);
    graphics::drawStringInRect(text, {{0, 0}, {30, 30}},
                               {graphics::Font::systemFont(30), std::nullopt});
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    return image;
}

std::shared_ptr<scene::Node> addSprite(ui::SceneView& view,
                                       std::shared_ptr<const graphics::Image> image,
                                       scene::Vector3 position) {
    auto plane = scene::Plane::planeWithWidth(0.1, 0.1);
    plane->firstMaterial()->diffuse.contents = std::move(image);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
    node->setPosition(position);
    view.scene()->rootNode()->addChildNode(node);
    return node;
}

std::shared_ptr<scene::Node> addPlane(ui::SceneView& view,
                                      std::shared_ptr<const graphics::Image> image, double width,
                                      double height, scene::Vector3 position,
                                      scene::Vector4 rotation, bool doubleSided, float opacity) {
    auto plane = scene::Plane::planeWithWidth(width, height);
    plane->firstMaterial()->diffuse.contents = std::move(image);
    plane->firstMaterial()->doubleSided = doubleSided;
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setPosition(position);
    node->setRotation(rotation);
    node->setOpacity(opacity);
    view.scene()->rootNode()->addChildNode(node);
    return node;
}

std::shared_ptr<const graphics::Bitmap> render(const ui::SceneView& view, double scale) {
    auto picture = eglRenderer().renderView(view, scale);
    if (!picture) {
        ADD_FAILURE() << "the view could not be drawn: " << picture.error();
        return nullptr;
    }
    return picture.value();
}

graphics::Rgba pixelAt(const graphics::Bitmap& bitmap, double x, double y, double scale) {
    int px = std::clamp(static_cast<int>(std::floor(x * scale)), 0, bitmap.width() - 1);
    int py = std::clamp(static_cast<int>(std::floor(y * scale)), 0, bitmap.height() - 1);
    return bitmap.pixel(px, py);
}

graphics::Rgba pixelAtWorld(const graphics::Bitmap& bitmap, const ui::SceneView& view,
                            scene::Vector3 world, double scale) {
    scene::Vector3 screen = view.projectPoint(world);
    return pixelAt(bitmap, screen.x, screen.y, scale);
}

bool near(graphics::Rgba a, graphics::Rgba b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

graphics::Rgba over(graphics::Rgba top, graphics::Rgba under, double alpha) {
    auto mix = [&](int t, int u) {
        double a = top.a / 255.0 * alpha;
        return static_cast<std::uint8_t>(std::lround(t * alpha + u * (1 - a)));
    };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), mix(top.a, under.a)};
}

std::string describe(graphics::Rgba color) {
    std::ostringstream out;
    out << "rgba(" << int(color.r) << ", " << int(color.g) << ", " << int(color.b) << ", "
        << int(color.a) << ")";
    return out.str();
}

}  // namespace rendertest
