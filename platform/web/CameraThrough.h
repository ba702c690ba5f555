// The camera-through session of the page, for browsers without WebXR's
// augmented reality: the rear camera's video lies behind the transparent
// canvas (the page's half, CameraThrough.js, shows it), and the phone's
// orientation sensor turns the camera from where the room's camera stood.
// Each animation frame delivers the turned pose with the projection of a
// phone's camera, covered over the view as the video is.
#pragma once

#include <functional>

#include "platform/ar/CameraRig.h"
#include "platform/ar/OrientationTracker.h"
#include "platform/graphics/Geometry.h"

namespace web {

class CameraThrough {
public:
    // What the host does as the mode starts and ends; the pose is where
    // the camera was when it ended, for the room to be seen from there.
    struct Hooks {
        std::function<void()> started;
        std::function<void(const scene::Matrix4& lastPose)> ended;
    };

    // `room` is the room's walking camera, where the mode starts from.
    CameraThrough(const ar::CameraRig& room, Hooks hooks);
    ~CameraThrough();
    CameraThrough(const CameraThrough&) = delete;
    CameraThrough& operator=(const CameraThrough&) = delete;

    bool running() const { return running_; }
    // The page has the camera's video: the camera stands where the room's
    // camera stood, looking the same way.
    void start();
    void end();
    void read(const ar::OrientationReading& reading);
    // The video's size in pixels as the page shows it.
    void setPictureSize(double width, double height);

    // Follows the sensor for `seconds` more; true when the pose changed.
    bool advance(double seconds) { return running_ && tracker_.advance(seconds); }
    scene::Matrix4 pose() const { return tracker_.pose(); }
    // The projection for a view of `size` points.
    scene::Matrix4 projection(graphics::Size size) const;
    ar::OrientationTracker::Sensor sensor() const { return tracker_.sensor(); }

private:
    const ar::CameraRig& room_;
    Hooks hooks_;
    bool running_ = false;
    ar::OrientationTracker tracker_;
    // Until the video says, a phone camera's 4:3 picture upright.
    double pictureWidth_ = 3, pictureHeight_ = 4;
};

}  // namespace web
