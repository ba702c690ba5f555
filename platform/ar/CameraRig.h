// Walking around the simulated room with a phone: a camera moved with the
// keyboard and turned with the arrow keys or a drag, for every host that
// shows the simulated room. Its pose is what the tracker delivers.
#pragma once

#include "platform/scene/Math.h"

namespace ar {

// The movement keys held down; each is a direction the camera moves or turns.
struct Motion {
    bool forward = false, back = false, left = false, right = false, down = false, up = false;
    bool turnLeft = false, turnRight = false, turnUp = false, turnDown = false;

    bool any() const {
        return forward || back || left || right || down || up || turnLeft || turnRight || turnUp ||
               turnDown;
    }
};

class CameraRig {
public:
    static constexpr double walkingSpeed = 1.2;   // metres a second
    static constexpr double turningSpeed = 75.0;  // degrees a second
    static constexpr double dragTurn = 0.25;      // degrees a point dragged
    static constexpr double maxPitch = 85.0;

    // Moves for `seconds` with the keys in `motion`; true when it moved.
    bool update(const Motion& motion, double seconds);
    // A drag of (dx, dy) points: right turns right, down looks down.
    void drag(double dx, double dy);
    void reset();
    // Stands the camera where `pose` puts it, looking the same way (a roll
    // is dropped): walking goes on from a pose a script or a headset set.
    void place(const scene::Matrix4& pose);

    // Walking ignores pitch: the camera stays at its height unless moved up
    // or down on purpose.
    scene::Vector3 position() const { return position_; }
    double yawDegrees() const { return yaw_; }
    double pitchDegrees() const { return pitch_; }
    scene::Matrix4 pose() const;

private:
    void turn(double yawDegrees, double pitchDegrees);

    scene::Vector3 position_{};
    double yaw_ = 0;
    double pitch_ = 0;
};

}  // namespace ar
