#include <gtest/gtest.h>

#include <cmath>

#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "platform/graphics/ImageContext.h"
#include "support/Fixtures.h"

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

TEST_F(SpritePlacement, BeforeTheFirstFrameNothingIsPlaced) {
    EXPECT_EQ(controller->placeSprite({195, 422}), nullptr);
    EXPECT_TRUE(root().childNodes().empty());
}

TEST_F(SpritePlacement, TheCentreOfAnUnmovedCameraLandsStraightAhead) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto node = controller->placeSprite({195, 422});
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->position(), (scene::Vector3{0, 0, -1.234f}));
    ASSERT_EQ(root().childNodes().size(), 1u);
    EXPECT_EQ(root().childNodes().front(), node);
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

TEST_F(SpritePlacement, TwoSamplesAtOnePointGiveTwoSpritesAtOnePlace) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto a = controller->placeSprite({100, 200});
    auto b = controller->placeSprite({100, 200});
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->position(), b->position());
    EXPECT_EQ(root().childNodes().size(), 2u);
}

TEST_F(SpritePlacement, AChangeOfDistanceTakesEffectAtTheNextSample) {
    view().session().deliverFrame(scene::Matrix4::identity());
    controller->distance = 2.5f;
    auto node = controller->placeSprite({195, 422});
    EXPECT_EQ(node->position(), (scene::Vector3{0, 0, -2.5f}));
}

TEST_F(SpritePlacement, ASpriteIsATenthOfAMetreWithAThirtyPointImageAndABillboard) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto node = controller->placeSprite({50, 60});
    auto* plane = dynamic_cast<const scene::Plane*>(node->geometry().get());
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->width(), 0.1);
    EXPECT_EQ(plane->height(), 0.1);
    auto image = plane->firstMaterial()->diffuse.contents;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
    EXPECT_EQ(image->scale(), 3);
    EXPECT_FALSE(plane->firstMaterial()->doubleSided);
    EXPECT_TRUE(node->hasBillboardConstraint());
    EXPECT_EQ(node->constraints().size(), 1u);
}

TEST_F(SpritePlacement, SamplesOfOneEmojiShareTheirPlaneAndAnotherEmojiGetsItsOwn) {
    view().session().deliverFrame(scene::Matrix4::identity());
    auto a = controller->placeSprite({50, 60});
    auto b = controller->placeSprite({60, 60});
    controller->pic = "\U0001F431";
    auto c = controller->placeSprite({70, 60});
    EXPECT_NE(a, b);
    EXPECT_EQ(a->geometry(), b->geometry());
    EXPECT_EQ(a->constraints(), b->constraints());
    ASSERT_NE(c->geometry(), a->geometry());
    EXPECT_NE(c->geometry()->firstMaterial()->diffuse.contents->cgImage(),
              a->geometry()->firstMaterial()->diffuse.contents->cgImage());
    // A billboard of another size has a plane of its own.
    auto image = a->geometry()->firstMaterial()->diffuse.contents;
    auto larger = ViewController::makeBillboardNode(image, 0.2, 0.2);
    EXPECT_NE(larger->geometry(), a->geometry());
    EXPECT_EQ(dynamic_cast<const scene::Plane&>(*larger->geometry()).width(), 0.2);
}

TEST_F(SpritePlacement, ADegenerateProjectionPlacesNothing) {
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

TEST(BillboardNodes, CarryTheImageOnTheFirstMaterialAndStartAtTheOrigin) {
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(2, 2));
    auto node = ViewController::makeBillboardNode(image, 0.5, 0.25);
    EXPECT_EQ(node->parentNode(), nullptr);
    EXPECT_EQ(node->position(), (scene::Vector3{0, 0, 0}));
    auto* plane = dynamic_cast<const scene::Plane*>(node->geometry().get());
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->width(), 0.5);
    EXPECT_EQ(plane->firstMaterial()->diffuse.contents, image);
    EXPECT_TRUE(node->hasBillboardConstraint());
}

TEST(EmojiImages, AreThirtyPointsAtTheScreenScaleOnTransparency) {
    ui::LaunchScope scaleTwo(testsupport::changed([](auto& d) { d.scale = 2; }));
    auto image = ViewController::renderEmojiImage("\U0001F43B\u200D\u2744\uFE0F", 30);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (graphics::Size{30, 30}));
    EXPECT_EQ(image->cgImage()->width(), 60);
    EXPECT_EQ(image->cgImage()->pixel(0, 0).a, 0);
    EXPECT_EQ(image->cgImage()->pixel(59, 59).a, 0);
    int inked = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) inked += image->cgImage()->pixel(x, y).a > 0;
    EXPECT_GT(inked, 400);
}

}  // namespace
