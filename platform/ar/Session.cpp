#include "platform/ar/Session.h"

#include <numbers>

#include "platform/Precondition.h"

namespace ar {

const char* trackingModeName(TrackingMode mode) {
    switch (mode) {
        case TrackingMode::room: return "room";
        case TrackingMode::camera: return "camera";
        case TrackingMode::ar: return "ar";
    }
    platform::unreachable("trackingModeName");
}

DeviceCapabilities deviceCapabilities() {
    const DeviceCapabilities* capabilities = DeviceCapabilitiesScope::get();
    return capabilities ? *capabilities : DeviceCapabilities{};
}

bool WorldTrackingConfiguration::supportsFrameSemantics(FrameSemantics semantics) {
    std::uint32_t wanted = rawValue(semantics);
    std::uint32_t available = 0;
    if (deviceCapabilities().personSegmentationWithDepth)
        available |= rawValue(FrameSemantics::personSegmentationWithDepth);
    return (wanted & ~available) == 0;
}

void Session::run(std::shared_ptr<const Configuration> configuration, RunOptions options) {
    platform::require(configuration != nullptr, "Session::run", "no configuration given");
    configuration_ = std::move(configuration);
    lastRunOptions_ = options;
    if (static_cast<std::uint32_t>(options) & static_cast<std::uint32_t>(RunOptions::resetTracking))
        currentFrame_ = nullptr;
    running_ = true;
    ++runCount_;
}

void Session::pause() {
    running_ = false;
    ++pauseCount_;
}

void Session::deliverFrame(const scene::Matrix4& cameraTransform,
                           std::optional<scene::Matrix4> projection) {
    if (!running_) return;
    auto frame = std::make_shared<Frame>();
    frame->camera.transform = cameraTransform;
    frame->camera.projection = projection;
    frame->sequence = ++frameSequence_;
    currentFrame_ = frame;
    if (frameObserver_) frameObserver_(*frame);
}

scene::Matrix4 poseAt(scene::Vector3 position, double yawDegrees, double pitchDegrees) {
    constexpr double degree = std::numbers::pi / 180.0;
    auto yaw = scene::Matrix4::rotation({0, 1, 0, static_cast<float>(yawDegrees * degree)});
    auto pitch = scene::Matrix4::rotation({1, 0, 0, static_cast<float>(pitchDegrees * degree)});
    return scene::Matrix4::translation(position) * yaw * pitch;
}

}  // namespace ar
