// Turning the camera with the phone's orientation sensor, for a page that
// has the rear camera's video but no world tracking: three degrees of
// freedom, the position fixed where the mode started. The browser's
// deviceorientation angles and the screen's angle become the camera's
// rotation here, and the phone camera's own projection is worked out from
// the picture it shows.
#pragma once

#include <optional>

#include "platform/scene/Math.h"

namespace ar {

// A rotation as a unit quaternion (x, y, z the vector part, w the scalar).
struct Quaternion {
    double x = 0, y = 0, z = 0, w = 1;

    // The rotation about the unit vector (x, y, z) by `radians`.
    static Quaternion aboutAxis(double x, double y, double z, double radians);
};

// `a` after `b`: rotating by the product is rotating by `b`, then by `a`.
Quaternion operator*(const Quaternion& a, const Quaternion& b);
// The angle, in radians from 0 to π, that turns `a` into `b`.
double angleBetween(const Quaternion& a, const Quaternion& b);
// From `from` (t = 0) to `to` (t = 1) along the shorter arc.
Quaternion slerp(const Quaternion& from, Quaternion to, double t);
// The camera-to-world transform of a camera turned by `rotation` at
// `position`.
scene::Matrix4 poseOf(const Quaternion& rotation, scene::Vector3 position);
// The turn about the world's vertical that `rotation` holds, in degrees,
// positive to the left, as `poseAt` takes it.
double yawDegreesOf(const Quaternion& rotation);

// One reading of the orientation sensor in degrees, as the browser's
// deviceorientation event gives it (each angle null where the device has
// no sensor), and the angle the screen's picture is turned by against the
// device's natural orientation (0 upright, 90 turned to the left).
struct OrientationReading {
    std::optional<double> alpha, beta, gamma;
    double screenAngle = 0;
};

// The rear camera's rotation, camera to world, for the angles of a reading:
// the world's y axis up and the camera looking along its own −z with the
// screen's up as its y. A phone held upright in portrait, its top up and
// alpha 0, looks along −z; lying flat on its back, it looks down.
Quaternion cameraRotation(double alpha, double beta, double gamma, double screenAngle);

// The camera of the mode: it follows the sensor's readings, smoothed on the
// rotation and never on the angles, turned about the vertical so that the
// first reading looks the way the camera looked when the mode started.
class OrientationTracker {
public:
    // A turn takes this long to be followed by two thirds; it is followed
    // to the end once within `settledDegrees`, and at once beyond
    // `jumpDegrees`, where following would sweep across the room.
    static constexpr double smoothingSeconds = 0.016;
    static constexpr double settledDegrees = 0.05;
    static constexpr double jumpDegrees = 60;

    enum class Sensor { unknown, present, missing };

    // The camera stands at `position`, looking the way `yawDegrees` and
    // `pitchDegrees` turn it (as `poseAt` takes them) until the sensor says
    // otherwise; what it said before is forgotten.
    void start(scene::Vector3 position, double yawDegrees, double pitchDegrees);
    // A reading with all three angles turns the camera; one with none says
    // that there is no sensor (the view then stays as it is); one with some
    // is ignored.
    void read(const OrientationReading& reading);
    // Follows the readings for `seconds` more; true when the pose changed.
    bool advance(double seconds);

    Sensor sensor() const { return sensor_; }
    scene::Matrix4 pose() const { return poseOf(current_, position_); }
    const Quaternion& rotation() const { return current_; }

private:
    scene::Vector3 position_{};
    double startYaw_ = 0;
    Quaternion current_;
    Quaternion target_;
    // Turns the sensor's rotations about the vertical to the start's yaw;
    // none until the first reading with angles.
    std::optional<Quaternion> recentre_;
    Sensor sensor_ = Sensor::unknown;
};

// A phone's main camera, about 26 mm equivalent: this many degrees across
// the long side of its picture.
inline constexpr double phoneCameraLongSideDegrees = 69.39;

// The projection (camera space to clip space, from the near to the far
// plane, in metres) of a phone's main camera whose picture, `pictureWidth`
// by `pictureHeight` pixels, is scaled to cover a view of `viewWidth` by
// `viewHeight` points and cropped to it at the centre.
scene::Matrix4 phoneCameraProjection(double viewWidth, double viewHeight, double pictureWidth,
                                     double pictureHeight, double zNear, double zFar);

}  // namespace ar
