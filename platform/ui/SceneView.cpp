#include "platform/ui/SceneView.h"

#include <array>
#include <cmath>
#include <numbers>

#include "platform/graphics/ImageContext.h"
#include "platform/ui/LaunchDescription.h"

namespace ui {

namespace {
// 1 / tan(half the vertical field of view).
double focalScale() {
    return 1.0 / std::tan(SceneView::fieldOfViewDegrees * std::numbers::pi / 360.0);
}

using Matrix4d = std::array<std::array<double, 4>, 4>;  // [column][row]

Matrix4d widen(const scene::Matrix4& m) {
    Matrix4d d{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) d[c][r] = m.columns[c][r];
    return d;
}
}  // namespace

SceneView::SceneView()
    : session_(std::make_unique<ar::Session>()), pointOfView_(scene::Node::make()) {
    // The point of view follows the camera of every new frame.
    session_->setFrameObserver([this](const ar::Frame& frame) {
        const auto& t = frame.camera.transform;
        pointOfView_->setPosition({t.columns[3][0], t.columns[3][1], t.columns[3][2]});
        pointOfView_->setRotation(scene::axisAngleOf(t));
    });
}

scene::Matrix4 SceneView::projectionMatrix() const {
    double aspect = frame().width() / frame().height();
    double f = focalScale();
    scene::Matrix4 p;
    p.columns[0] = {static_cast<float>(f / aspect), 0, 0, 0};
    p.columns[1] = {0, static_cast<float>(f), 0, 0};
    p.columns[2] = {0, 0, static_cast<float>((zFar + zNear) / (zNear - zFar)), -1};
    p.columns[3] = {0, 0, static_cast<float>(2 * zFar * zNear / (zNear - zFar)), 0};
    return p;
}

scene::Vector3 SceneView::unprojectPoint(scene::Vector3 point) const {
    // Worked in double precision and in closed form: inverting the
    // projection matrix loses most of the far plane's precision.
    double w = frame().width(), h = frame().height();
    double ndcX = 2.0 * point.x / w - 1.0;
    double ndcY = 1.0 - 2.0 * point.y / h;
    double ndcZ = 2.0 * point.z - 1.0;
    double viewZ = 2.0 * zFar * zNear / (ndcZ * (zFar - zNear) - (zFar + zNear));
    double f = focalScale();
    double viewX = ndcX * -viewZ * (w / h) / f;
    double viewY = ndcY * -viewZ / f;
    Matrix4d m = widen(pointOfView_->worldTransform());
    double out[3];
    for (int r = 0; r < 3; ++r)
        out[r] = m[0][r] * viewX + m[1][r] * viewY + m[2][r] * viewZ + m[3][r];
    return {static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])};
}

scene::Vector3 SceneView::projectPoint(scene::Vector3 point) const {
    Matrix4d m = widen(scene::rigidInverse(pointOfView_->worldTransform()));
    double v[3];
    for (int r = 0; r < 3; ++r)
        v[r] = m[0][r] * point.x + m[1][r] * point.y + m[2][r] * point.z + m[3][r];
    double w = frame().width(), h = frame().height();
    double f = focalScale();
    double clipW = -v[2];
    double ndcX = v[0] * f / (w / h) / clipW;
    double ndcY = v[1] * f / clipW;
    double ndcZ =
        ((zFar + zNear) / (zNear - zFar) * v[2] + 2 * zFar * zNear / (zNear - zFar)) / clipW;
    return {static_cast<float>((ndcX + 1) / 2 * w), static_cast<float>((1 - ndcY) / 2 * h),
            static_cast<float>((ndcZ + 1) / 2)};
}

bool SceneView::drawViewHierarchyInRect(graphics::Rect rect, bool) const {
    auto* context = graphics::currentImageContext();
    const auto& renderer = currentLaunchDescription().viewRenderer;
    if (context == nullptr || renderer == nullptr) return false;
    auto bitmap = renderer->renderView(*this, context->scale());
    if (bitmap == nullptr) return false;
    context->drawBitmap(*bitmap, rect);
    return true;
}

}  // namespace ui
