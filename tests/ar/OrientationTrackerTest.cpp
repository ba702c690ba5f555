// The camera turned by the phone's orientation sensor: the sensor's angles
// as the camera's rotation in poses worked out by hand, the tracker's
// re-centring, smoothing and missing sensor, and the phone camera's
// projection over a covered view.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/ar/OrientationTracker.h"

namespace {

using ar::OrientationReading;
using ar::OrientationTracker;
using ar::Quaternion;

constexpr double degree = std::numbers::pi / 180;

struct Direction {
    double x, y, z;
};

Direction rotated(const Quaternion& q, Direction v) {
    auto pose = ar::poseOf(q, {});
    auto m = [&](int r, int c) { return static_cast<double>(pose.columns[c][r]); };
    return {m(0, 0) * v.x + m(0, 1) * v.y + m(0, 2) * v.z,
            m(1, 0) * v.x + m(1, 1) * v.y + m(1, 2) * v.z,
            m(2, 0) * v.x + m(2, 1) * v.y + m(2, 2) * v.z};
}

// Where the camera looks (its −z) and which way is up in its picture (its y).
Direction forward(const Quaternion& q) { return rotated(q, {0, 0, -1}); }
Direction up(const Quaternion& q) { return rotated(q, {0, 1, 0}); }

void expectNear(Direction actual, Direction expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-6) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-6) << what;
}

OrientationReading reading(double alpha, double beta, double gamma, double screenAngle = 0) {
    return {alpha, beta, gamma, screenAngle};
}

// Each pose as a person holds the phone, with where the rear camera looks
// and where the top of the picture points, worked out on paper: the earth's
// north is the world's −z, east its +x, up its +y.
TEST(OrientationToRotation, GivesTheRearCameraOfPosesWorkedByHand) {
    struct Case {
        const char* pose;
        double alpha, beta, gamma, screenAngle;
        Direction forward, up;
    };
    const double s30 = std::sin(30 * degree), c30 = std::cos(30 * degree);
    for (const Case& c : {
             Case{"upright in portrait, facing north", 0, 90, 0, 0, {0, 0, -1}, {0, 1, 0}},
             Case{"lying flat on its back, top to the north", 0, 0, 0, 0, {0, -1, 0}, {0, 0, -1}},
             Case{"upright, turned to the left by 90°", 90, 90, 0, 0, {-1, 0, 0}, {0, 1, 0}},
             Case{"upright, tipped back to look 30° up",
                  0,
                  120,
                  0,
                  0,
                  {0, s30, -c30},
                  {0, c30, s30}},
             Case{
                 "landscape, turned to the left, facing east", 0, 0, -90, 90, {1, 0, 0}, {0, 1, 0}},
             Case{"landscape, turned to the left, facing north",
                  90,
                  0,
                  -90,
                  90,
                  {0, 0, -1},
                  {0, 1, 0}},
             Case{"landscape, turned to the right, facing west",
                  0,
                  0,
                  90,
                  270,
                  {-1, 0, 0},
                  {0, 1, 0}},
             Case{"landscape, turned to the right, the angle given as −90",
                  0,
                  0,
                  90,
                  -90,
                  {-1, 0, 0},
                  {0, 1, 0}},
             // Upright, beta 90° lines alpha's axis up with gamma's: a turn
             // given by either is the same turn.
             Case{"upright, alpha 30°", 30, 90, 0, 0, {-s30, 0, -c30}, {0, 1, 0}},
             Case{"upright, gamma 30°", 0, 90, 30, 0, {-s30, 0, -c30}, {0, 1, 0}},
             Case{"upright, alpha 50° and gamma −20°", 50, 90, -20, 0, {-s30, 0, -c30}, {0, 1, 0}},
         }) {
        auto q = ar::cameraRotation(c.alpha, c.beta, c.gamma, c.screenAngle);
        expectNear(forward(q), c.forward, c.pose);
        expectNear(up(q), c.up, c.pose);
    }
}

// Past upright, browsers may give the same pose with alpha and gamma turned
// half way round and beta mirrored; the rotation is the same, and a tracker
// fed such a pair does not spin.
TEST(OrientationToRotation, TheOtherAnglesOfOnePoseAreOneRotation) {
    for (double beta : {85.0, 89.9, 90.0, 95.0, 120.0}) {
        auto q = ar::cameraRotation(20, beta, 10, 0);
        auto other = ar::cameraRotation(200, 180 - beta, 190, 0);
        EXPECT_LT(ar::angleBetween(q, other), 1e-9) << beta;
    }
    OrientationTracker tracker;
    tracker.start({}, 0, 0);
    tracker.read(reading(20, 89.5, 10));
    auto before = tracker.rotation();
    tracker.read(reading(200, 90.5, 190));
    tracker.advance(1.0 / 60);
    EXPECT_LT(ar::angleBetween(before, tracker.rotation()), 1e-6);
}

TEST(OrientationTracker, TheFirstReadingLooksWhereTheCameraLookedAndStaysThere) {
    OrientationTracker tracker;
    tracker.start({0.5f, 1.5f, -2}, 30, -10);
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::unknown);
    EXPECT_NEAR(ar::yawDegreesOf(tracker.rotation()), 30, 1e-9);
    auto first = tracker.pose();
    EXPECT_EQ(first.columns[3], (std::array<float, 4>{0.5f, 1.5f, -2, 1}));
    // Alpha starts wherever the sensor started: 70° here. Held upright, the
    // camera looks 30° to the left of −z, as it did, level.
    tracker.read(reading(70, 90, 0));
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::present);
    expectNear(forward(tracker.rotation()), {-std::sin(30 * degree), 0, -std::cos(30 * degree)},
               "the first reading, re-centred");
    // Turned 40° further to the left, the camera follows; the position
    // never moves.
    tracker.read(reading(110, 90, 0));
    for (int frame = 0; frame < 60; ++frame) tracker.advance(1.0 / 60);
    EXPECT_NEAR(ar::yawDegreesOf(tracker.rotation()), 70, 1e-9);
    EXPECT_EQ(tracker.pose().columns[3], first.columns[3]);
    EXPECT_FALSE(tracker.advance(1.0 / 60)) << "settled";
}

// Smoothing follows the great arc between rotations (never the angles, which
// jump about near upright), quickly, and ends exactly on the reading: a
// phone turned away and back shows the very same pose.
TEST(OrientationTracker, SmoothsAlongTheArcAndSettlesExactly) {
    OrientationTracker tracker;
    tracker.start({}, 0, 0);
    tracker.read(reading(0, 90, 0));
    const auto start = tracker.pose();
    const auto from = tracker.rotation();
    tracker.read(reading(20, 90, 0));
    const auto to = ar::cameraRotation(20, 90, 0, 0);
    EXPECT_TRUE(tracker.advance(1.0 / 60));
    double moved = ar::angleBetween(from, tracker.rotation());
    double left = ar::angleBetween(tracker.rotation(), to);
    EXPECT_NEAR(moved + left, 20 * degree, 1e-9) << "on the arc";
    EXPECT_GT(moved, 10 * degree) << "more than half way in one frame";
    EXPECT_GT(left, 0);
    // Within a tenth of a second a finger's eye sees it there.
    for (int frame = 0; frame < 6; ++frame) tracker.advance(1.0 / 60);
    EXPECT_EQ(ar::angleBetween(tracker.rotation(), to), 0);

    // A turn beyond what smoothing sweeps is followed at once.
    tracker.read(reading(110, 90, 0));
    tracker.advance(1.0 / 60);
    EXPECT_NEAR(ar::yawDegreesOf(tracker.rotation()), 110, 1e-9);
    tracker.read(reading(0, 90, 0));
    for (int frame = 0; frame < 30; ++frame) tracker.advance(1.0 / 60);
    EXPECT_EQ(tracker.pose(), start) << "turned back: the same pose, to the bit";
    // No time passing moves nothing.
    tracker.read(reading(10, 90, 0));
    EXPECT_FALSE(tracker.advance(0));
}

// Readings with no angles mean there is no sensor: the view stays where it
// started, and says so. Readings with some angles, or angles that are not
// numbers, are passed over.
TEST(OrientationTracker, WithoutASensorTheViewStaysFixed) {
    OrientationTracker tracker;
    tracker.start({0, 1, 0}, 15, 5);
    const auto start = tracker.pose();
    tracker.read({});
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::missing);
    EXPECT_FALSE(tracker.advance(1.0 / 60));
    EXPECT_EQ(tracker.pose(), start);
    tracker.read({std::nullopt, 90.0, 0.0, 0});
    tracker.read(reading(NAN, 90, 0));
    tracker.read(reading(0, 90, 0, INFINITY));
    EXPECT_FALSE(tracker.advance(1.0 / 60));
    EXPECT_EQ(tracker.pose(), start);
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::missing);

    // A sensor that wakes later turns the view from then on, and one empty
    // reading among its others does not take it back.
    tracker.read(reading(40, 90, 0));
    tracker.read({});
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::present);
    EXPECT_NEAR(ar::yawDegreesOf(tracker.rotation()), 15, 1e-9);
    // Starting again forgets it.
    tracker.start({}, 0, 0);
    EXPECT_EQ(tracker.sensor(), OrientationTracker::Sensor::unknown);
}

// The long side of the camera's picture spans about 69°; the picture is
// scaled to cover the view, so the side that fills the view shows it whole
// and the other is cropped.
TEST(PhoneCameraProjection, CoversTheViewWithTheCamerasFieldOfView) {
    const double halfLong = std::tan(ar::phoneCameraLongSideDegrees * degree / 2);
    EXPECT_NEAR(halfLong, 18.0 / 26.0, 1e-4) << "a 26 mm lens on a 36 mm wide frame";
    // Portrait picture on a portrait view: the height fills the view and
    // shows the whole 69°; the width is cropped from 633 points to 390.
    auto p = ar::phoneCameraProjection(390, 844, 480, 640, 0.001, 1000);
    EXPECT_NEAR(p.columns[1][1], 1 / halfLong, 1e-5);
    EXPECT_NEAR(p.columns[0][0], 1 / halfLong * 844 / 390, 1e-5);
    double focalPixels = 320 / halfLong;
    EXPECT_NEAR(p.columns[0][0] * 240 / focalPixels, 480 * (844.0 / 640) / 390, 1e-5)
        << "the picture's side edge lies beyond the view's, as far as the crop says";
    // Landscape picture on a portrait view: the height covers at
    // 844 / 480 points a pixel; the long side's 640 pixels span 69°.
    auto q = ar::phoneCameraProjection(390, 844, 640, 480, 0.001, 1000);
    double focalPoints = 320 / halfLong * (844.0 / 480);
    EXPECT_NEAR(q.columns[0][0], 2 * focalPoints / 390, 1e-4);
    EXPECT_NEAR(q.columns[1][1], 2 * focalPoints / 844, 1e-4);
    // A point at the top edge of the portrait picture shows at the top edge
    // of the view.
    double y = std::sin(ar::phoneCameraLongSideDegrees * degree / 2);
    double z = -std::cos(ar::phoneCameraLongSideDegrees * degree / 2);
    EXPECT_NEAR(p.columns[1][1] * y / -z, 1, 1e-5);
    // Depth as the scene view's: symmetric, −1 at the near plane.
    EXPECT_EQ(p.columns[2][3], -1);
    EXPECT_NEAR((p.columns[2][2] * -0.001 + p.columns[3][2]) / 0.001, -1, 1e-3);
}

}  // namespace
