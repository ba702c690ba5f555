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

TEST_F(SceneViewTest, TheCentreUnprojectsOntoTheViewingAxis) {
    auto nearPoint = view.unprojectPoint({195, 422, 0});
    auto farPoint = view.unprojectPoint({195, 422, 1});
    EXPECT_FLOAT_EQ(nearPoint.z, -0.001f);
    EXPECT_FLOAT_EQ(farPoint.z, -1000.0f);
    EXPECT_EQ(nearPoint.x, 0);
    EXPECT_EQ(farPoint.y, 0);
}

TEST_F(SceneViewTest, TheTopEdgeIsThirtyDegreesUp) {
    auto farPoint = view.unprojectPoint({195, 0, 1});
    EXPECT_NEAR(std::atan2(farPoint.y, -farPoint.z), M_PI / 6, 1e-6);
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

}  // namespace
