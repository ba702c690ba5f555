// The scene view's camera: what it sees, projection and unprojection, and
// a real camera's own projection.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/ar/Session.h"
#include "platform/ui/SceneView.h"

namespace {

class SceneViewTest : public testing::Test {
protected:
    void SetUp() override {
        view.setFrame({{0, 0}, {390, 844}});
        view.session().run(std::make_shared<ar::WorldTrackingConfiguration>(),
                           ar::RunOptions::none);
    }
    ui::SceneView view;
};

// The centre unprojects onto the viewing axis between the near and far
// planes; the top edge is 30° up, the sides as wide as the aspect says.
TEST_F(SceneViewTest, TheCameraSeesSixtyDegreesUpToDownBetweenItsPlanes) {
    auto nearPoint = view.unprojectPoint({195, 422, 0});
    auto farPoint = view.unprojectPoint({195, 422, 1});
    EXPECT_EQ(nearPoint, (scene::Vector3{0, 0, -0.001f}));
    EXPECT_FLOAT_EQ(farPoint.z, -1000.0f);
    EXPECT_EQ(farPoint.y, 0);
    auto top = view.unprojectPoint({195, 0, 1});
    EXPECT_NEAR(std::atan2(top.y, -top.z), M_PI / 6, 1e-6);
    auto corner = view.unprojectPoint({390, 844, 1});
    EXPECT_NEAR(corner.x / -corner.z, std::tan(M_PI / 6) * 390.0 / 844.0, 1e-6);
}

TEST_F(SceneViewTest, ProjectionAndUnprojectionAreInverse) {
    // World points come back as single-precision floats, which limits the
    // round trip to a tenth of a point away from the origin.
    for (auto [pose, tolerance] : {std::pair{scene::Matrix4::identity(), 1e-3},
                                   std::pair{ar::poseAt({0.5f, 1.2f, -0.3f}, 40, -15), 0.1}}) {
        view.session().deliverFrame(pose);
        for (double depth : {0.0, 0.3, 0.9, 0.999, 1.0}) {
            for (auto point : {scene::Vector3{10, 20, 0}, scene::Vector3{380, 800, 0},
                               scene::Vector3{195, 422, 0}}) {
                point.z = static_cast<float>(depth);
                auto back = view.projectPoint(view.unprojectPoint(point));
                EXPECT_NEAR(back.x, point.x, tolerance) << depth;
                EXPECT_NEAR(back.y, point.y, tolerance) << depth;
            }
        }
    }
}

TEST_F(SceneViewTest, ThePointOfViewFollowsEachNewFrame) {
    auto pose = ar::poseAt({1, 2, 3}, 90, 0);
    view.session().deliverFrame(pose);
    auto pov = view.pointOfView();
    EXPECT_EQ(pov->position(), (scene::Vector3{1, 2, 3}));
    // A point straight ahead of the turned camera: 90° to the left is −x.
    auto ahead = view.unprojectPoint({195, 422, 0.5f});
    EXPECT_LT(ahead.x, 1.0f - 0.001f);
    EXPECT_NEAR(ahead.y, 2, 1e-4);
    EXPECT_NEAR(ahead.z, 3, 1e-4);
}

TEST_F(SceneViewTest, DrawingTheHierarchyNeedsAContext) {
    EXPECT_FALSE(view.drawViewHierarchyInRect({{0, 0}, {390, 844}}, false));
}

// A phone's camera: an off-centre frustum, wider to the right and below.
scene::Matrix4 offCentreProjection() {
    const double nearPlane = 0.1, farPlane = 100;
    const double left = -0.04, right = 0.06, bottom = -0.1, top = 0.08;
    scene::Matrix4 p;
    p.columns[0] = {static_cast<float>(2 * nearPlane / (right - left)), 0, 0, 0};
    p.columns[1] = {0, static_cast<float>(2 * nearPlane / (top - bottom)), 0, 0};
    p.columns[2] = {static_cast<float>((right + left) / (right - left)),
                    static_cast<float>((top + bottom) / (top - bottom)),
                    static_cast<float>(-(farPlane + nearPlane) / (farPlane - nearPlane)), -1};
    p.columns[3] = {0, 0, static_cast<float>(-2 * farPlane * nearPlane / (farPlane - nearPlane)),
                    0};
    return p;
}

TEST_F(SceneViewTest, ARealCamerasOwnProjectionIsUsedAndInverted) {
    const auto projection = offCentreProjection();
    view.session().deliverFrame(ar::poseAt({0.2f, 1.4f, 0.5f}, 30, 10), projection);
    EXPECT_EQ(view.projectionMatrix(), projection);
    // The view's centre is not on the viewing axis of an off-centre camera:
    // the axis (straight ahead) lands left of and above the centre.
    auto axis = view.projectPoint(view.unprojectPoint({195, 422, 0.5f}));
    EXPECT_NEAR(axis.x, 195, 1e-2);
    auto ahead =
        view.projectPoint(transformPoint(view.pointOfView()->worldTransform(), {0, 0, -1}));
    EXPECT_LT(ahead.x, 195 - 10);
    EXPECT_LT(ahead.y, 422 - 10);
    for (auto point : {scene::Vector3{10, 20, 0.2f}, scene::Vector3{380, 800, 0.9f}}) {
        auto back = view.projectPoint(view.unprojectPoint(point));
        EXPECT_NEAR(back.x, point.x, 0.05);
        EXPECT_NEAR(back.y, point.y, 0.05);
        EXPECT_NEAR(back.z, point.z, 1e-4);
    }
    // The simulated camera's projection comes back with the next frame
    // that brings none.
    view.session().deliverFrame(scene::Matrix4::identity());
    EXPECT_NE(view.projectionMatrix(), projection);
}

}  // namespace
