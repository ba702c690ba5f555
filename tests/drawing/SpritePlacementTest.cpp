// Where a touch places a sprite, and what a sprite is.
#include <gtest/gtest.h>

#include <cmath>

#include "controller/ViewController.h"
#include "platform/ar/Session.h"

namespace {

using scrawlet::ViewController;

class SpritePlacement : public testing::Test {
protected:
    void SetUp() override {
        controller = std::make_shared<ViewController>(ui::Coder{});
        auto view = std::make_shared<ui::SceneView>();
        view->setFrame({{0, 0}, {390, 844}});
        view->setScene(std::make_shared<scene::Scene>());
        controller->setSceneView(view);
        controller->distance = 1.234f;
        controller->pic = "\U0001F436";
        view->session().run(std::make_shared<ar::WorldTrackingConfiguration>(),
                            ar::RunOptions::none);
    }
    ui::SceneView& view() { return *controller->sceneView; }
    const scene::Node& root() { return *view().scene()->rootNode(); }
    std::shared_ptr<ViewController> controller;
};

// The centre of an unmoved camera lands straight ahead at the distance of
// the moment; two samples at one point give two sprites at one place.
TEST_F(SpritePlacement, TheCentreOfAnUnmovedCameraLandsStraightAhead) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto a = controller->placeSprite({195, 422});
    auto b = controller->placeSprite({195, 422});
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->position(), (scene::Vector3{0, 0, -1.234f}));
    EXPECT_NE(a, b);
    EXPECT_EQ(b->position(), a->position());
    ASSERT_EQ(root().childNodes().size(), 2u);
    EXPECT_EQ(root().childNodes().front(), a);
    controller->distance = 2.5f;
    EXPECT_EQ(controller->placeSprite({195, 422})->position(), (scene::Vector3{0, 0, -2.5f}));
}

TEST_F(SpritePlacement, ACornerLandsOffAxisAtTheSameDistanceFromTheCamera) {
    auto pose = ar::poseAt({0.3f, 1.5f, -2}, 35, 10);
    view().session().deliverFrame(pose);
    scene::Vector3 camera{0.3f, 1.5f, -2};
    for (graphics::Point corner :
         {graphics::Point{2, 3}, graphics::Point{388, 840}, graphics::Point{0, 844}}) {
        auto node = controller->placeSprite(corner);
        ASSERT_NE(node, nullptr);
        auto p = node->position();
        EXPECT_NEAR(scene::length(p - camera), 1.234f, 1e-5);
        // Off the camera's axis: the sprite projects back to the corner.
        auto screen = view().projectPoint(p);
        EXPECT_NEAR(screen.x, corner.x, 1e-2);
        EXPECT_NEAR(screen.y, corner.y, 1e-2);
    }
}

// A sprite is a tenth of a metre, single-sided, showing a 30-point picture
// at the screen's scale, with a billboard constraint. Samples of one emoji
// share their plane; another emoji, or another size, gets its own.
TEST_F(SpritePlacement, ASpriteIsATenthOfAMetreAndSamplesOfOneEmojiShareItsPlane) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto a = controller->placeSprite({50, 60});
    auto* plane = dynamic_cast<const scene::Plane*>(a->geometry().get());
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->width(), 0.1);
    EXPECT_EQ(plane->height(), 0.1);
    auto image = plane->firstMaterial()->diffuse.contents;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
    EXPECT_EQ(image->scale(), 3);
    EXPECT_FALSE(plane->firstMaterial()->doubleSided);
    EXPECT_TRUE(a->hasBillboardConstraint());
    EXPECT_EQ(a->constraints().size(), 1u);

    auto b = controller->placeSprite({60, 60});
    controller->pic = "\U0001F431";
    auto c = controller->placeSprite({70, 60});
    EXPECT_NE(a, b);
    EXPECT_EQ(a->geometry(), b->geometry());
    EXPECT_EQ(a->constraints(), b->constraints());
    ASSERT_NE(c->geometry(), a->geometry());
    EXPECT_NE(c->geometry()->firstMaterial()->diffuse.contents->cgImage(), image->cgImage());
    auto larger = controller->makeBillboardNode(image, 0.2, 0.25);
    EXPECT_NE(larger->geometry(), a->geometry());
    EXPECT_EQ(larger->parentNode(), nullptr);
    EXPECT_EQ(larger->position(), (scene::Vector3{0, 0, 0}));
    const auto& largerPlane = dynamic_cast<const scene::Plane&>(*larger->geometry());
    EXPECT_EQ(largerPlane.width(), 0.2);
    EXPECT_EQ(largerPlane.height(), 0.25);
    EXPECT_EQ(largerPlane.firstMaterial()->diffuse.contents, image);
    EXPECT_TRUE(larger->hasBillboardConstraint());
}

// Nothing is placed before the first frame, nor through a degenerate
// projection.
TEST_F(SpritePlacement, NothingIsPlacedWithoutAFrameOrThroughADegenerateProjection) {
    EXPECT_EQ(controller->placeSprite({195, 422}), nullptr);
    view().session().deliverFrame(scene::Matrix4::identity());
    // A view with no area, or no height: the ray through any point is not a
    // number, and no sprite may end up at a position that is not one.
    for (graphics::Size size :
         {graphics::Size{0, 0}, graphics::Size{390, 0}, graphics::Size{0, 844}}) {
        view().setFrame({{0, 0}, size});
        EXPECT_EQ(controller->placeSprite({0, 0}), nullptr);
        EXPECT_EQ(controller->placeSprite({195, 0}), nullptr);
    }
    EXPECT_TRUE(root().childNodes().empty());
}

}  // namespace
