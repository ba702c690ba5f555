// World tracking: a session that runs with a configuration and delivers
// camera frames, and the simulated tracker that stands in for the device's
// motion sensors. The session has no frame until the tracker delivers one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Current.h"
#include "platform/scene/Math.h"

namespace ar {

// The option set of extra per-frame information a configuration asks for.
enum class FrameSemantics : std::uint32_t {
    none = 0,
    personSegmentation = 1,
    personSegmentationWithDepth = 3,
    bodyDetection = 4,
};

inline FrameSemantics operator|(FrameSemantics a, FrameSemantics b) {
    return static_cast<FrameSemantics>(static_cast<std::uint32_t>(a) |
                                       static_cast<std::uint32_t>(b));
}
inline std::uint32_t rawValue(FrameSemantics semantics) {
    return static_cast<std::uint32_t>(semantics);
}

// Options for running a session that is already running or paused.
enum class RunOptions : std::uint32_t {
    none = 0,
    resetTracking = 1,
    removeExistingAnchors = 2,
};

// Where the session's frames come from: the simulated room's camera, the
// phone's camera turned by its orientation sensor (three degrees of
// freedom), or the phone's own world tracking (six).
enum class TrackingMode { room, camera, ar };
const char* trackingModeName(TrackingMode mode);

struct Camera {
    // Camera space to world space; the camera looks along its negative z.
    scene::Matrix4 transform;
    // The real camera's own projection (camera space to clip space), where
    // the device tracks a real one; none for the simulated camera, whose
    // projection the scene view derives from its size.
    std::optional<scene::Matrix4> projection;
};

struct Frame {
    Camera camera;
    std::uint64_t sequence = 0;
};

class Configuration {
public:
    virtual ~Configuration() = default;
};

class WorldTrackingConfiguration : public Configuration {
public:
    // Whether the device can deliver `semantics` (all of its bits).
    static bool supportsFrameSemantics(FrameSemantics semantics);

    FrameSemantics frameSemantics() const { return frameSemantics_; }
    void setFrameSemantics(FrameSemantics semantics) { frameSemantics_ = semantics; }

private:
    FrameSemantics frameSemantics_ = FrameSemantics::none;
};

class Session {
public:
    // Runs, or runs again, with `configuration`. Without reset options the
    // tracking state and the last frame are kept.
    void run(std::shared_ptr<const Configuration> configuration, RunOptions options);
    void pause();

    // The most recent frame, or none before the first.
    std::shared_ptr<const Frame> currentFrame() const { return currentFrame_; }

    bool isRunning() const { return running_; }
    int runCount() const { return runCount_; }
    int pauseCount() const { return pauseCount_; }
    RunOptions lastRunOptions() const { return lastRunOptions_; }
    const std::shared_ptr<const Configuration>& configuration() const { return configuration_; }

    // Set by the host that delivers the frames.
    TrackingMode trackingMode() const { return trackingMode_; }
    void setTrackingMode(TrackingMode mode) { trackingMode_ = mode; }

    // Called by the tracker: a new frame with the camera at `cameraTransform`
    // and, for a real camera, its projection. Frames arrive only while the
    // session runs; otherwise this does nothing.
    void deliverFrame(const scene::Matrix4& cameraTransform,
                      std::optional<scene::Matrix4> projection = std::nullopt);

    // Told of every new frame; the scene view uses this to move its point of
    // view.
    void setFrameObserver(std::function<void(const Frame&)> observer) {
        frameObserver_ = std::move(observer);
    }

private:
    std::shared_ptr<const Configuration> configuration_;
    std::shared_ptr<const Frame> currentFrame_;
    std::function<void(const Frame&)> frameObserver_;
    bool running_ = false;
    int runCount_ = 0;
    int pauseCount_ = 0;
    RunOptions lastRunOptions_ = RunOptions::none;
    TrackingMode trackingMode_ = TrackingMode::room;
    std::uint64_t frameSequence_ = 0;
};

// What the device can do; the application's launch description decides.
// Its environment owns them and puts them in force on the thread that
// drives it (DeviceCapabilitiesScope), as this level cannot ask `ui`.
struct DeviceCapabilities {
    bool personSegmentationWithDepth = false;
};
using DeviceCapabilitiesScope = platform::Current<const DeviceCapabilities>;
// The capabilities in force on this thread; a device that can do nothing
// extra without any.
DeviceCapabilities deviceCapabilities();

// A camera pose in the room: at `position`, turned by `yawDegrees` about the
// world's y axis (positive to the left), then by `pitchDegrees` about its own
// x axis (positive upwards). Yaw 0, pitch 0 looks along −z with y up.
scene::Matrix4 poseAt(scene::Vector3 position, double yawDegrees, double pitchDegrees);

// The simulated tracker: it holds the camera's pose and, when asked,
// delivers it to the session as a frame.
class SimulatedTracker {
public:
    explicit SimulatedTracker(Session& session) : session_(session) {}

    const scene::Matrix4& pose() const { return pose_; }
    void deliverFrame() { session_.deliverFrame(pose_); }

private:
    Session& session_;
    scene::Matrix4 pose_ = scene::Matrix4::identity();
};

}  // namespace ar
