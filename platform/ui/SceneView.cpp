#include "platform/ui/SceneView.h"

#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "platform/Log.h"
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

std::array<double, 4> times(const Matrix4d& m, const std::array<double, 4>& v) {
    std::array<double, 4> out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r] += m[c][r] * v[c];
    return out;
}

// The inverse by cofactors, in double precision; a singular matrix gives
// none.
std::optional<Matrix4d> inverse(const Matrix4d& m) {
    // Row-major copy, so the usual formulas read as written.
    double a[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r * 4 + c] = m[c][r];
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] +
             a[9] * a[7] * a[14] + a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] -
             a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] +
             a[8] * a[7] * a[13] + a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] -
              a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] -
             a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] +
             a[8] * a[3] * a[14] + a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] -
             a[8] * a[3] * a[13] - a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] +
              a[8] * a[2] * a[13] + a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] -
             a[4] * a[3] * a[14] - a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] +
              a[4] * a[3] * a[13] + a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] -
              a[4] * a[2] * a[13] - a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] -
             a[5] * a[3] * a[10] - a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    Matrix4d out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[c][r] = inv[r * 4 + c] / det;
    return out;
}
}  // namespace

// Through a real camera's projection: screen to normalised device
// coordinates, back through the projection's inverse to the camera's space,
// and on to the world.
scene::Vector3 SceneView::unprojectThrough(const scene::Matrix4& projection,
                                           scene::Vector3 point) const {
    double w = frame().width(), h = frame().height();
    auto inverted = inverse(widen(projection));
    if (!inverted || w <= 0 || h <= 0) return {NAN, NAN, NAN};
    std::array<double, 4> ndc{2.0 * point.x / w - 1.0, 1.0 - 2.0 * point.y / h, 2.0 * point.z - 1.0,
                              1.0};
    auto view = times(*inverted, ndc);
    if (view[3] == 0) return {NAN, NAN, NAN};
    for (int i = 0; i < 3; ++i) view[i] /= view[3];
    view[3] = 1;
    auto world = times(widen(pointOfView_->worldTransform()), view);
    return {static_cast<float>(world[0]), static_cast<float>(world[1]),
            static_cast<float>(world[2])};
}

scene::Vector3 SceneView::projectThrough(const scene::Matrix4& projection,
                                         scene::Vector3 point) const {
    double w = frame().width(), h = frame().height();
    auto view = times(widen(scene::rigidInverse(pointOfView_->worldTransform())),
                      {point.x, point.y, point.z, 1.0});
    auto clip = times(widen(projection), view);
    if (clip[3] == 0) return {NAN, NAN, NAN};
    double ndcX = clip[0] / clip[3], ndcY = clip[1] / clip[3], ndcZ = clip[2] / clip[3];
    return {static_cast<float>((ndcX + 1) / 2 * w), static_cast<float>((1 - ndcY) / 2 * h),
            static_cast<float>((ndcZ + 1) / 2)};
}

SceneView::SceneView()
    : session_(std::make_unique<ar::Session>()), pointOfView_(scene::Node::make()) {
    // The point of view follows the camera of every new frame.
    session_->setFrameObserver([this](const ar::Frame& frame) {
        const auto& t = frame.camera.transform;
        pointOfView_->setPosition({t.columns[3][0], t.columns[3][1], t.columns[3][2]});
        pointOfView_->setRotation(scene::axisAngleOf(t));
    });
}

std::optional<scene::Matrix4> SceneView::frameProjection() const {
    auto frame = session_->currentFrame();
    return frame ? frame->camera.projection : std::nullopt;
}

scene::Matrix4 SceneView::projectionMatrix() const {
    if (auto own = frameProjection()) return *own;
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
    if (auto own = frameProjection()) return unprojectThrough(*own, point);
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
    if (auto own = frameProjection()) return projectThrough(*own, point);
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
    if (!bitmap) {
        // The view then draws nothing; the reason goes to the log.
        platform::log("the view could not be drawn: " + bitmap.error());
        return false;
    }
    context->drawBitmap(*bitmap.value(), rect);
    return true;
}

}  // namespace ui
