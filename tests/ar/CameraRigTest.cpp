// The simulated camera that the desktop's keys and mouse move.
#include <gtest/gtest.h>

#include <numbers>

#include "platform/ar/CameraRig.h"
#include "platform/ar/Session.h"

namespace {

using ar::CameraRig;
using ar::Motion;

scene::Vector3 lookDirection(const CameraRig& rig) {
    auto pose = rig.pose();
    return {-pose.columns[2][0], -pose.columns[2][1], -pose.columns[2][2]};
}

TEST(CameraRig, WalksWhereItLooksAtWalkingSpeed) {
    CameraRig rig;
    Motion forward;
    forward.forward = true;
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(rig.update(forward, 0.1));
    EXPECT_NEAR(rig.position().z, -0.6, 1e-6);
    EXPECT_NEAR(rig.position().x, 0, 1e-6);
    Motion turnLeft;
    turnLeft.turnLeft = true;
    for (int i = 0; i < 12; ++i) rig.update(turnLeft, 0.1);  // 90° at 75°/s
    EXPECT_NEAR(rig.yawDegrees(), 90, 1e-6);
    EXPECT_NEAR(lookDirection(rig).x, -1, 1e-5);
    for (int i = 0; i < 5; ++i) rig.update(forward, 0.1);
    EXPECT_NEAR(rig.position().x, -0.6, 1e-5);
    EXPECT_NEAR(rig.position().z, -0.6, 1e-5);
}

// Strafing and rising do not turn; dragging up looks up (but not over the
// top), dragging right turns right.
TEST(CameraRig, StrafesRisesAndLooksAroundWhenDragged) {
    CameraRig rig;
    Motion motion;
    motion.right = true;
    motion.up = true;
    rig.update(motion, 0.1);
    EXPECT_NEAR(rig.position().x, 0.12, 1e-6);
    EXPECT_NEAR(rig.position().y, 0.12, 1e-6);
    EXPECT_EQ(rig.yawDegrees(), 0);
    rig.drag(0, -1000);
    EXPECT_EQ(rig.pitchDegrees(), CameraRig::maxPitch);
    EXPECT_GT(lookDirection(rig).y, 0.99);
    rig.drag(0, 2000);
    EXPECT_EQ(rig.pitchDegrees(), -CameraRig::maxPitch);
    CameraRig turning;
    turning.drag(40, 0);
    EXPECT_LT(turning.yawDegrees(), 0);
    EXPECT_GT(lookDirection(turning).x, 0);
}

TEST(CameraRig, AStalledFrameMovesNoFurtherThanATenthOfASecond) {
    CameraRig rig;
    Motion forward;
    forward.forward = true;
    rig.update(forward, 5.0);
    EXPECT_NEAR(rig.position().z, -0.12, 1e-6);
    EXPECT_FALSE(rig.update(Motion{}, 1.0));
    rig.reset();
    EXPECT_EQ(rig.position(), (scene::Vector3{0, 0, 0}));
}

// A pose set from outside (a script's, a headset's) is where walking goes on
// from: the same place and direction, a roll dropped, the pitch kept in range.
TEST(CameraRig, IsPlacedWherePosesPutIt) {
    struct Case {
        scene::Vector3 position;
        double yaw, pitch, expectedPitch;
    };
    for (const Case& c : {Case{{0.5f, 0.2f, 1}, 90, 10, 10}, Case{{-1, 0, 2}, -135, -40, -40},
                          Case{{0, 0, 0}, 179, 0, 0}, Case{{0, 1, 0}, 30, 89.5, 85}}) {
        CameraRig rig;
        rig.place(ar::poseAt(c.position, c.yaw, c.pitch));
        EXPECT_EQ(rig.position(), c.position);
        EXPECT_NEAR(rig.yawDegrees(), c.yaw, 1e-4) << c.yaw;
        EXPECT_NEAR(rig.pitchDegrees(), c.expectedPitch, 1e-4) << c.pitch;
    }
    CameraRig rolled;
    rolled.place(ar::poseAt({}, 20, 0) *
                 scene::Matrix4::rotation({0, 0, 1, static_cast<float>(std::numbers::pi / 6)}));
    EXPECT_NEAR(rolled.yawDegrees(), 20, 1e-4);
    EXPECT_NEAR(rolled.pitchDegrees(), 0, 1e-4);
}

}  // namespace
