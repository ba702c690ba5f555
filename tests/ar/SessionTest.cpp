// The world-tracking session: frames, running and pausing, what the
// device supports, and poses.
#include <gtest/gtest.h>

#include "platform/ar/Session.h"

namespace {

std::shared_ptr<ar::WorldTrackingConfiguration> configuration() {
    return std::make_shared<ar::WorldTrackingConfiguration>();
}

// No frame until the tracker delivers one, and only while running; run
// again without a reset, the tracking state and the last frame stay; a
// reset drops them.
TEST(Session, DeliversFramesOnlyWhileRunningAndKeepsThemUntilAReset) {
    ar::Session session;
    session.deliverFrame(scene::Matrix4::identity());
    session.run(configuration(), ar::RunOptions::none);
    EXPECT_EQ(session.currentFrame(), nullptr);
    session.deliverFrame(ar::poseAt({1, 2, 3}, 0, 0));
    auto frame = session.currentFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->camera.transform.columns[3][0], 1);
    session.pause();
    EXPECT_FALSE(session.isRunning());
    session.deliverFrame(ar::poseAt({5, 0, 0}, 0, 0));
    EXPECT_EQ(session.currentFrame(), frame);
    auto second = configuration();
    session.run(second, ar::RunOptions::none);
    EXPECT_TRUE(session.isRunning());
    EXPECT_EQ(session.runCount(), 2);
    EXPECT_EQ(session.pauseCount(), 1);
    EXPECT_EQ(session.configuration(), second);
    EXPECT_EQ(session.currentFrame(), frame);
    session.run(configuration(), ar::RunOptions::resetTracking);
    EXPECT_EQ(session.currentFrame(), nullptr);
    EXPECT_EQ(session.lastRunOptions(), ar::RunOptions::resetTracking);
}

TEST(Configuration, SupportsSegmentationWithDepthOnlyWhereTheDeviceCan) {
    const ar::DeviceCapabilities without{.personSegmentationWithDepth = false};
    const ar::DeviceCapabilities with{.personSegmentationWithDepth = true};
    {
        ar::DeviceCapabilitiesScope plain(without);
        EXPECT_FALSE(ar::WorldTrackingConfiguration::supportsFrameSemantics(
            ar::FrameSemantics::personSegmentationWithDepth));
        EXPECT_TRUE(
            ar::WorldTrackingConfiguration::supportsFrameSemantics(ar::FrameSemantics::none));
        ar::DeviceCapabilitiesScope depth(with);
        EXPECT_TRUE(ar::WorldTrackingConfiguration::supportsFrameSemantics(
            ar::FrameSemantics::personSegmentationWithDepth));
        EXPECT_FALSE(ar::WorldTrackingConfiguration::supportsFrameSemantics(
            ar::FrameSemantics::bodyDetection));
    }
    // Without capabilities in force the device can do nothing extra.
    ar::DeviceCapabilitiesScope none(nullptr);
    EXPECT_FALSE(ar::WorldTrackingConfiguration::supportsFrameSemantics(
        ar::FrameSemantics::personSegmentationWithDepth));
}

TEST(Poses, YawTurnsLeftAndPitchLooksUp) {
    // The camera looks along its own −z.
    auto look = [](const scene::Matrix4& pose) {
        return scene::Vector3{-pose.columns[2][0], -pose.columns[2][1], -pose.columns[2][2]};
    };
    auto ahead = look(ar::poseAt({0, 0, 0}, 0, 0));
    EXPECT_NEAR(ahead.z, -1, 1e-6);
    auto left = look(ar::poseAt({0, 0, 0}, 90, 0));
    EXPECT_NEAR(left.x, -1, 1e-6);
    auto up = look(ar::poseAt({0, 0, 0}, 0, 90));
    EXPECT_NEAR(up.y, 1, 1e-6);
    auto pose = ar::poseAt({1, 2, 3}, 30, 20);
    EXPECT_EQ(pose.columns[3][0], 1);
    EXPECT_EQ(pose.columns[3][2], 3);
}

}  // namespace
