// One touch sample becomes one sprite: a small square picture of the
// stroke's emoji, `distance` metres from the camera along the line of sight
// through the touched point, turned to face the viewer. All vector
// arithmetic is single precision, in the order written.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/graphics/ImageContext.h"

namespace scrawlet {

namespace {
constexpr double emojiSide = 30.0;
constexpr double spriteSide = 0.1;
constexpr float nearDepth = 0.0f;
constexpr float farDepth = 1.0f;
}  // namespace

std::shared_ptr<scene::Node> ViewController::placeSprite(graphics::Point point) {
    platform::require(sceneView != nullptr, "placeSprite", "the scene view is not connected");
    std::optional<scene::Vector3> c = cameraPosition(*sceneView);
    if (!c) return nullptr;

    float px = static_cast<float>(point.x);
    float py = static_cast<float>(point.y);
    scene::Vector3 far = sceneView->unprojectPoint({px, py, farDepth});
    scene::Vector3 near = sceneView->unprojectPoint({px, py, nearDepth});
    float dx = far.x - near.x;
    float dy = far.y - near.y;
    float dz = far.z - near.z;
    float len = std::sqrt((dx * dx + dy * dy) + dz * dz);
    // A degenerate projection (a view with no area, a broken pose) gives a
    // ray of no length or none at all; such a sample places nothing rather
    // than a sprite at a position that is not a number.
    if (!(len > 0.0f) || !std::isfinite(len)) return nullptr;
    scene::Vector3 u{dx / len, dy / len, dz / len};
    scene::Vector3 p{u.x * distance + c->x, u.y * distance + c->y, u.z * distance + c->z};
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return nullptr;

    auto image = renderEmojiImage(pic, emojiSide);
    platform::require(image != nullptr, "placeSprite", "the image context gave no image");
    auto node = makeBillboardNode(image, spriteSide, spriteSide);
    node->setPosition(p);

    platform::require(sceneView != nullptr && sceneView->scene() != nullptr, "placeSprite",
                      "the scene view has no scene");
    sceneView->scene()->rootNode()->addChildNode(node);
    return node;
}

std::optional<scene::Vector3> ViewController::cameraPosition(const ui::SceneView& view) {
    auto frame = view.session().currentFrame();
    if (!frame) return std::nullopt;
    const scene::Matrix4& t = frame->camera.transform;
    auto v = t * std::array<float, 4>{0, 0, 0, 1};
    return scene::Vector3{v[0], v[1], v[2]};
}

std::shared_ptr<graphics::Image> ViewController::renderEmojiImage(std::string_view text,
                                                                  double size) {
    RecentEmoji& recent = sprites_.recentEmoji;
    const double scale = graphics::mainScreenScale();
    RecentEmoji::Key key{std::string(text), size, scale};
    if (auto bitmap = recent.find(key)) return std::make_shared<graphics::Image>(bitmap, scale);

    graphics::beginImageContextWithOptions({size, size}, false, scale);
    graphics::setCurrentColor(graphics::Color::clear());
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(size);
    graphics::drawStringInRect(text, {{0, 0}, {size, size}}, attributes);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    if (image) recent.remember(std::move(key), image->cgImage());
    return image;
}

namespace {
// Whether `plane` shows `image` at that size: the samples of a stroke show
// one picture (their images share one bitmap), so they share one plane with
// its material; what a sprite needs of its own is its node.
bool shows(const scene::Plane& plane, const graphics::Image& image, double width, double height) {
    if (plane.width() != width || plane.height() != height || plane.materials().size() != 1)
        return false;
    const auto& material = *plane.materials().front();
    const auto& shown = material.diffuse.contents;
    return !material.doubleSided && shown && shown->cgImage() == image.cgImage() &&
           shown->scale() == image.scale() && shown->imageOrientation() == image.imageOrientation();
}
}  // namespace

std::shared_ptr<scene::Node> ViewController::makeBillboardNode(
    std::shared_ptr<const graphics::Image> image, double width, double height) {
    LastBillboard& last = sprites_.lastBillboard;
    auto plane = last.plane.lock();
    if (!plane || !image || !shows(*plane, *image, width, height)) {
        plane = scene::Plane::planeWithWidth(width, height);
        if (auto material = plane->firstMaterial()) material->diffuse.contents = std::move(image);
        last.plane = plane;
    }
    auto constraint = last.constraint.lock();
    if (!constraint || constraint->freeAxes() != scene::BillboardConstraint::Axes::all) {
        constraint = std::make_shared<scene::BillboardConstraint>();
        last.constraint = constraint;
    }
    auto node = scene::Node::nodeWithGeometry(std::move(plane));
    node->setConstraints({std::move(constraint)});
    return node;
}

}  // namespace scrawlet
