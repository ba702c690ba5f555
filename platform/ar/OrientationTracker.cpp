#include "platform/ar/OrientationTracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ar {

namespace {
constexpr double degree = std::numbers::pi / 180;

Quaternion normalised(Quaternion q) {
    double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(length > 0) || !std::isfinite(length)) return {};
    return {q.x / length, q.y / length, q.z / length, q.w / length};
}

double dot(const Quaternion& a, const Quaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

// The yaw and pitch of `poseAt` as a rotation: yaw about the world's
// vertical, then pitch about the camera's own x axis.
Quaternion yawPitch(double yawDegrees, double pitchDegrees) {
    return Quaternion::aboutAxis(0, 1, 0, yawDegrees * degree) *
           Quaternion::aboutAxis(1, 0, 0, pitchDegrees * degree);
}
}  // namespace

Quaternion Quaternion::aboutAxis(double x, double y, double z, double radians) {
    double s = std::sin(radians / 2);
    return {x * s, y * s, z * s, std::cos(radians / 2)};
}

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

double angleBetween(const Quaternion& a, const Quaternion& b) {
    double d = std::clamp(std::abs(dot(a, b)), 0.0, 1.0);
    return 2 * std::acos(d);
}

Quaternion slerp(const Quaternion& from, Quaternion to, double t) {
    double d = dot(from, to);
    // q and −q are the same rotation: take the one nearer, the shorter arc.
    if (d < 0) {
        to = {-to.x, -to.y, -to.z, -to.w};
        d = -d;
    }
    double a, b;
    if (d > 0.9995) {
        // Nearly the same: a straight line is as good and does not divide
        // by a sine near zero.
        a = 1 - t;
        b = t;
    } else {
        double theta = std::acos(std::clamp(d, -1.0, 1.0));
        a = std::sin((1 - t) * theta) / std::sin(theta);
        b = std::sin(t * theta) / std::sin(theta);
    }
    return normalised({a * from.x + b * to.x, a * from.y + b * to.y, a * from.z + b * to.z,
                       a * from.w + b * to.w});
}

scene::Matrix4 poseOf(const Quaternion& q, scene::Vector3 position) {
    auto f = [](double v) { return static_cast<float>(v); };
    double x = q.x, y = q.y, z = q.z, w = q.w;
    scene::Matrix4 m;
    m.columns[0] = {f(1 - 2 * (y * y + z * z)), f(2 * (x * y + z * w)), f(2 * (x * z - y * w)), 0};
    m.columns[1] = {f(2 * (x * y - z * w)), f(1 - 2 * (x * x + z * z)), f(2 * (y * z + x * w)), 0};
    m.columns[2] = {f(2 * (x * z + y * w)), f(2 * (y * z - x * w)), f(1 - 2 * (x * x + y * y)), 0};
    m.columns[3] = {position.x, position.y, position.z, 1};
    return m;
}

double yawDegreesOf(const Quaternion& q) {
    // The twist about the vertical: what is left of the rotation's turn
    // about y once its tilt is taken out. It holds the heading whether the
    // camera looks ahead, up or down at the floor.
    if (q.y == 0 && q.w == 0) return 0;
    return std::remainder(2 * std::atan2(q.y, q.w) / degree, 360.0);
}

Quaternion cameraRotation(double alpha, double beta, double gamma, double screenAngle) {
    // The sensor's angles turn the device's frame (x to the right of the
    // screen, y to its top, z out of its face) into the earth's (east,
    // north, up): about z by alpha, then x by beta, then y by gamma. The
    // earth's frame is our world turned by −90° about x (north is −z, up is
    // y). The screen's picture is turned by the screen's angle against the
    // device, and the rear camera looks out of the back, along −z, as our
    // camera does.
    Quaternion earthToWorld = Quaternion::aboutAxis(1, 0, 0, -90 * degree);
    Quaternion deviceToEarth = Quaternion::aboutAxis(0, 0, 1, alpha * degree) *
                               Quaternion::aboutAxis(1, 0, 0, beta * degree) *
                               Quaternion::aboutAxis(0, 1, 0, gamma * degree);
    Quaternion screenToDevice = Quaternion::aboutAxis(0, 0, 1, -screenAngle * degree);
    return normalised(earthToWorld * deviceToEarth * screenToDevice);
}

void OrientationTracker::start(scene::Vector3 position, double yawDegrees, double pitchDegrees) {
    position_ = position;
    startYaw_ = yawDegrees;
    current_ = target_ = yawPitch(yawDegrees, pitchDegrees);
    recentre_.reset();
    sensor_ = Sensor::unknown;
}

void OrientationTracker::read(const OrientationReading& reading) {
    bool any = reading.alpha || reading.beta || reading.gamma;
    bool all = reading.alpha && reading.beta && reading.gamma;
    if (!any) {
        // A sensor that has spoken is not taken back by one empty reading.
        if (sensor_ != Sensor::present) sensor_ = Sensor::missing;
        return;
    }
    if (!all || !std::isfinite(*reading.alpha) || !std::isfinite(*reading.beta) ||
        !std::isfinite(*reading.gamma) || !std::isfinite(reading.screenAngle))
        return;
    Quaternion raw =
        cameraRotation(*reading.alpha, *reading.beta, *reading.gamma, reading.screenAngle);
    if (!recentre_) {
        // Alpha counts from wherever the sensor started: the first reading
        // is turned to look the way the camera looked, and follows at once.
        recentre_ = Quaternion::aboutAxis(0, 1, 0, (startYaw_ - yawDegreesOf(raw)) * degree);
        current_ = normalised(*recentre_ * raw);
    }
    sensor_ = Sensor::present;
    target_ = normalised(*recentre_ * raw);
}

bool OrientationTracker::advance(double seconds) {
    double apart = angleBetween(current_, target_) / degree;
    if (apart == 0) return false;
    if (apart <= settledDegrees || apart >= jumpDegrees) {
        // Near enough, or too far to sweep: the target itself, exactly, so
        // that a phone turned back to where it was shows the same picture.
        current_ = target_;
        return true;
    }
    if (!(seconds > 0)) return false;
    current_ = slerp(current_, target_, 1 - std::exp(-seconds / smoothingSeconds));
    if (angleBetween(current_, target_) / degree <= settledDegrees) current_ = target_;
    return true;
}

scene::Matrix4 phoneCameraProjection(double viewWidth, double viewHeight, double pictureWidth,
                                     double pictureHeight, double zNear, double zFar) {
    // Focal length in the picture's pixels, from the long side's angle;
    // the picture is scaled by `cover` to cover the view, so in view points
    // it is that much longer. Clip space spans the view's width and height.
    double longSide = std::max(pictureWidth, pictureHeight);
    double focal = longSide / 2 / std::tan(phoneCameraLongSideDegrees * degree / 2);
    double cover = std::max(viewWidth / pictureWidth, viewHeight / pictureHeight);
    double focalPoints = focal * cover;
    scene::Matrix4 p;
    p.columns[0] = {static_cast<float>(2 * focalPoints / viewWidth), 0, 0, 0};
    p.columns[1] = {0, static_cast<float>(2 * focalPoints / viewHeight), 0, 0};
    p.columns[2] = {0, 0, static_cast<float>((zFar + zNear) / (zNear - zFar)), -1};
    p.columns[3] = {0, 0, static_cast<float>(2 * zFar * zNear / (zNear - zFar)), 0};
    return p;
}

}  // namespace ar
