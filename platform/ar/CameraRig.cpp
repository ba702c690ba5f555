#include "platform/ar/CameraRig.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ar/Session.h"

namespace ar {

bool CameraRig::update(const Motion& motion, double seconds) {
    if (!motion.any() || seconds <= 0) return false;
    // A stalled frame must not throw the camera across the room.
    seconds = std::min(seconds, 0.1);
    double yaw = yaw_ * std::numbers::pi / 180;
    // Yaw turns to the left, so at yaw 90° the camera looks along −x.
    double forwardX = -std::sin(yaw), forwardZ = -std::cos(yaw);
    double rightX = std::cos(yaw), rightZ = -std::sin(yaw);
    double ahead = (motion.forward ? 1 : 0) - (motion.back ? 1 : 0);
    double aside = (motion.right ? 1 : 0) - (motion.left ? 1 : 0);
    double rise = (motion.up ? 1 : 0) - (motion.down ? 1 : 0);
    double step = walkingSpeed * seconds;
    position_.x += static_cast<float>((ahead * forwardX + aside * rightX) * step);
    position_.z += static_cast<float>((ahead * forwardZ + aside * rightZ) * step);
    position_.y += static_cast<float>(rise * step);
    double turnAside = (motion.turnLeft ? 1 : 0) - (motion.turnRight ? 1 : 0);
    double turnUp = (motion.turnUp ? 1 : 0) - (motion.turnDown ? 1 : 0);
    turn(turnAside * turningSpeed * seconds, turnUp * turningSpeed * seconds);
    return true;
}

void CameraRig::drag(double dx, double dy) { turn(-dx * dragTurn, -dy * dragTurn); }

void CameraRig::reset() {
    position_ = {};
    yaw_ = 0;
    pitch_ = 0;
}

void CameraRig::place(const scene::Matrix4& pose) {
    const auto& column = pose.columns;
    position_ = {column[3][0], column[3][1], column[3][2]};
    // The camera looks along its negative z axis: yaw and pitch are read
    // back from that direction as poseAt builds it.
    double x = -column[2][0], y = -column[2][1], z = -column[2][2];
    double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0)) return;
    constexpr double degree = std::numbers::pi / 180;
    yaw_ = std::atan2(-x, -z) / degree;
    pitch_ = std::clamp(std::asin(std::clamp(y / length, -1.0, 1.0)) / degree, -maxPitch, maxPitch);
}

void CameraRig::turn(double yawDegrees, double pitchDegrees) {
    yaw_ = std::remainder(yaw_ + yawDegrees, 360.0);
    pitch_ = std::clamp(pitch_ + pitchDegrees, -maxPitch, maxPitch);
}

scene::Matrix4 CameraRig::pose() const { return ar::poseAt(position_, yaw_, pitch_); }

}  // namespace ar
