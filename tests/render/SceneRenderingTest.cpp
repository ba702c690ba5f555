// The 3-D scene over the room: pictures where their planes project, seen
// from the point of view with the scene view's own projection; billboards,
// double-sided and single-sided planes, opacity and blending.
#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "platform/ar/Session.h"

namespace {

using graphics::Rgba;
using rendertest::describe;
using rendertest::near;

const Rgba green{0, 255, 0, 255};
const Rgba red{255, 0, 0, 255};
const Rgba blue{0, 0, 255, 255};
const Rgba white{255, 255, 255, 255};

// The room alone, seen from the view's pose.
std::shared_ptr<graphics::Bitmap> roomOf(const ui::SceneView& view) {
    auto empty = rendertest::makeView(view.frame().size, view.pointOfView()->worldTransform());
    return rendertest::render(*empty);
}

TEST(SpritesInTheRoom, ShowTheirPictureWhereTheyProjectAndTheRoomElsewhere) {
    auto view = rendertest::makeView();
    const scene::Vector3 centre{0.3f, 0.2f, -1.5f};
    rendertest::addSprite(*view, rendertest::solidImage(30, 30, green), centre);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);

    // Inside the 0.1 m square the picture, just outside it the room: the
    // renderer projects exactly as the scene view does.
    for (float dx : {-0.045f, 0.0f, 0.045f})
        for (float dy : {-0.045f, 0.0f, 0.045f}) {
            Rgba seen =
                rendertest::pixelAtWorld(*picture, *view, {centre.x + dx, centre.y + dy, centre.z});
            EXPECT_TRUE(near(seen, green, 2))
                << describe(seen) << " at offset " << dx << ", " << dy;
        }
    for (scene::Vector3 outside : {scene::Vector3{centre.x + 0.056f, centre.y, centre.z},
                                   scene::Vector3{centre.x - 0.056f, centre.y, centre.z},
                                   scene::Vector3{centre.x, centre.y + 0.056f, centre.z},
                                   scene::Vector3{centre.x, centre.y - 0.056f, centre.z}}) {
        Rgba seen = rendertest::pixelAtWorld(*picture, *view, outside);
        Rgba expected = rendertest::pixelAtWorld(*room, *view, outside);
        EXPECT_EQ(describe(seen), describe(expected));
    }
    EXPECT_EQ(describe(rendertest::pixelAt(*picture, 40, 700)),
              describe(rendertest::pixelAt(*room, 40, 700)));
}

TEST(SpritesInTheRoom, ShowTheirEmojiInItsColours) {
    auto view = rendertest::makeView();
    auto apple = rendertest::emojiImage("🍎");
    ASSERT_TRUE(apple);
    const scene::Vector3 centre{0, 0, -1.234f};
    rendertest::addSprite(*view, apple, centre);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);

    // The picture's own middle, over the room, magnified a little.
    const auto& stored = *apple->cgImage();
    Rgba middle = stored.pixel(stored.width() / 2, stored.height() / 2);
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, centre);
    Rgba expected = rendertest::over(middle, rendertest::pixelAtWorld(*room, *view, centre));
    EXPECT_TRUE(near(seen, expected, 16))
        << describe(seen) << " where the emoji's middle is " << describe(expected);
    EXPECT_GT(seen.r, seen.g + 60) << "a red apple: " << describe(seen);
}

TEST(SpritesInTheRoom, StayPutWhenTheCameraMoves) {
    auto view = rendertest::makeView();
    const scene::Vector3 centre{0, 0, -1.2f};
    rendertest::addSprite(*view, rendertest::solidImage(30, 30, green), centre);
    auto before = rendertest::render(*view);
    auto roomBefore = roomOf(*view);

    rendertest::moveCamera(*view, ar::poseAt({0.3f, 0.1f, 0.2f}, 10, -5));
    auto after = rendertest::render(*view);
    auto roomAfter = roomOf(*view);
    ASSERT_TRUE(before && after && roomBefore && roomAfter);

    scene::Vector3 screen = view->projectPoint(centre);
    EXPECT_GT(std::abs(screen.x - 195), 20) << "the sprite should have moved on the screen";
    Rgba seen = rendertest::pixelAtWorld(*after, *view, centre);
    EXPECT_TRUE(near(seen, green, 2)) << describe(seen) << " at " << screen.x << ", " << screen.y;
    // The room is drawn from the new point of view as well.
    EXPECT_NE(describe(rendertest::pixelAt(*roomBefore, 100, 200)),
              describe(rendertest::pixelAt(*roomAfter, 100, 200)));
}

TEST(Billboards, FaceTheCameraSeenFromTheSide) {
    // The camera stands to the right of the sprite and looks left at it.
    auto view = rendertest::makeView({390, 844}, ar::poseAt({1, 0, -1}, 90, 0));
    const scene::Vector3 centre{0, 0, -1};
    rendertest::addSprite(*view, rendertest::solidImage(30, 30, green), centre);
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    // Seen from here the sprite spans the world's z axis, as wide as ever.
    for (float dz : {-0.04f, 0.0f, 0.04f}) {
        Rgba seen = rendertest::pixelAtWorld(*picture, *view, {0, 0, centre.z + dz});
        EXPECT_TRUE(near(seen, green, 2)) << describe(seen) << " at z offset " << dz;
    }
}

TEST(Billboards, WithoutTheConstraintAPlaneIsEdgeOnFromTheSide) {
    auto view = rendertest::makeView({390, 844}, ar::poseAt({1, 0, -1}, 90, 0));
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, green), 0.1, 0.1, {0, 0, -1}, {},
                         true);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);
    scene::Vector3 beside{0, 0, -1.04f};
    EXPECT_EQ(describe(rendertest::pixelAtWorld(*picture, *view, beside)),
              describe(rendertest::pixelAtWorld(*room, *view, beside)));
}

TEST(Billboards, AreNeverSeenFromBehind) {
    // The camera behind the sprite, looking back at it: the picture reads
    // the right way round, red on the left.
    auto view = rendertest::makeView({390, 844}, ar::poseAt({0, 0, -2}, 180, 0));
    rendertest::addSprite(*view, rendertest::splitImage(30, 30, red, blue), {0, 0, -1});
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    scene::Vector3 middle = view->projectPoint({0, 0, -1});
    double halfWidth = std::abs(view->projectPoint({0.05f, 0, -1}).x - middle.x);
    Rgba left = rendertest::pixelAt(*picture, middle.x - halfWidth / 2, middle.y);
    Rgba right = rendertest::pixelAt(*picture, middle.x + halfWidth / 2, middle.y);
    EXPECT_TRUE(near(left, red, 2)) << describe(left);
    EXPECT_TRUE(near(right, blue, 2)) << describe(right);
}

TEST(DoubleSidedPlanes, AreDrawnFromBehindMirrored) {
    auto view = rendertest::makeView({390, 844}, ar::poseAt({0, 0, -2.5f}, 180, 0));
    rendertest::addPlane(*view, rendertest::splitImage(40, 30, red, blue), 1.0, 0.75, {0, 0, -1},
                         {}, true);
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    // The plane's red half lies at the world's −x, which from behind is on
    // the right of the screen: a real plane seen from behind.
    scene::Vector3 redHalf{-0.25f, 0, -1}, blueHalf{0.25f, 0, -1};
    EXPECT_GT(view->projectPoint(redHalf).x, 195);
    Rgba seenRed = rendertest::pixelAtWorld(*picture, *view, redHalf);
    Rgba seenBlue = rendertest::pixelAtWorld(*picture, *view, blueHalf);
    EXPECT_TRUE(near(seenRed, red, 2)) << describe(seenRed);
    EXPECT_TRUE(near(seenBlue, blue, 2)) << describe(seenBlue);
}

TEST(SingleSidedPlanes, AreDrawnFromTheFront) {
    auto view = rendertest::makeView();
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, green), 0.5, 0.5, {0, 0, -1.5f});
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, {0, 0, -1.5f});
    EXPECT_TRUE(near(seen, green, 2)) << describe(seen);
}

TEST(SingleSidedPlanes, AreNotSeenFromBehind) {
    auto view = rendertest::makeView({390, 844}, ar::poseAt({0, 0, -2.5f}, 180, 0));
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, green), 0.5, 0.5, {0, 0, -1.5f});
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);
    scene::Vector3 middle{0, 0, -1.5f};
    EXPECT_EQ(describe(rendertest::pixelAtWorld(*picture, *view, middle)),
              describe(rendertest::pixelAtWorld(*room, *view, middle)));
}

TEST(Opacity, LetsTheRoomShowThroughAPhoto) {
    auto view = rendertest::makeView();
    const scene::Vector3 centre{0, 0, -1.1f};
    rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 1.0, 0.75, centre, {}, true,
                         0.9f);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);
    Rgba behind = rendertest::pixelAtWorld(*room, *view, centre);
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, centre);
    EXPECT_TRUE(near(seen, rendertest::over(blue, behind, 0.9), 2))
        << describe(seen) << " over " << describe(behind);
    EXPECT_GT(seen.r, 5) << "the room should show through: " << describe(seen);
}

TEST(Opacity, MultipliesDownTheTree) {
    auto view = rendertest::makeView();
    auto parent = scene::Node::make();
    parent->setOpacity(0.5f);
    parent->setPosition({0, 0, -1});
    view->scene()->rootNode()->addChildNode(parent);
    auto plane = scene::Plane::planeWithWidth(0.4, 0.4);
    plane->firstMaterial()->diffuse.contents = rendertest::solidImage(30, 30, white);
    auto child = scene::Node::nodeWithGeometry(plane);
    child->setOpacity(0.5f);
    parent->addChildNode(child);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);
    Rgba behind = rendertest::pixelAtWorld(*room, *view, {0, 0, -1});
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, {0, 0, -1});
    EXPECT_TRUE(near(seen, rendertest::over(white, behind, 0.25), 2))
        << describe(seen) << " over " << describe(behind);
}

TEST(Blending, DrawsTransparentPicturesBackToFront) {
    // The nearer picture is added first; drawn in the scene's order it
    // would hide the farther one instead of showing it through.
    auto view = rendertest::makeView();
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, red), 0.3, 0.3, {0, 0, -1}, {},
                         false, 0.5f);
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, blue), 1.0, 1.0, {0, 0, -2}, {},
                         false, 0.5f);
    auto picture = rendertest::render(*view);
    auto room = roomOf(*view);
    ASSERT_TRUE(picture && room);
    Rgba behind = rendertest::pixelAtWorld(*room, *view, {0, 0, -1});
    Rgba expected = rendertest::over(red, rendertest::over(blue, behind, 0.5), 0.5);
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, {0, 0, -1});
    EXPECT_TRUE(near(seen, expected, 3)) << describe(seen) << ", expected " << describe(expected);
}

TEST(Blending, HidesThePartOfASpriteBehindAPhotoThatCrossesIt) {
    // A photo turned 60° about the vertical passes through a sprite: its
    // left half is in front of the sprite, its right half behind it.
    auto view = rendertest::makeView();
    const scene::Vector3 centre{0, 0, -1};
    rendertest::addSprite(*view, rendertest::solidImage(30, 30, green), centre);
    rendertest::addPlane(*view, rendertest::solidImage(30, 30, blue), 0.3, 0.3, centre,
                         {0, 1, 0, 1.0472f}, true);
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    Rgba left = rendertest::pixelAtWorld(*picture, *view, {-0.03f, 0, -1});
    Rgba right = rendertest::pixelAtWorld(*picture, *view, {0.03f, 0, -1});
    EXPECT_TRUE(near(left, blue, 2)) << "the photo is in front here: " << describe(left);
    EXPECT_TRUE(near(right, green, 2)) << "the sprite is in front here: " << describe(right);
}

TEST(Pictures, AreShownUprightWhateverTheirOrientationTag) {
    // Stored upside down, tagged so: shown with red on the left.
    auto stored = rendertest::splitImage(30, 30, blue, red)->cgImage();
    auto tagged = std::make_shared<graphics::Image>(stored, 3, graphics::ImageOrientation::down);
    auto view = rendertest::makeView();
    rendertest::addPlane(*view, tagged, 0.4, 0.4, {0, 0, -1});
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    Rgba left = rendertest::pixelAtWorld(*picture, *view, {-0.1f, 0, -1});
    Rgba right = rendertest::pixelAtWorld(*picture, *view, {0.1f, 0, -1});
    EXPECT_TRUE(near(left, red, 2)) << describe(left);
    EXPECT_TRUE(near(right, blue, 2)) << describe(right);
}

TEST(Pictures, APlaneWithoutOneIsWhite) {
    auto view = rendertest::makeView();
    rendertest::addPlane(*view, nullptr, 0.4, 0.4, {0, 0, -1});
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    Rgba seen = rendertest::pixelAtWorld(*picture, *view, {0, 0, -1});
    EXPECT_TRUE(near(seen, white, 1)) << describe(seen);
}

}  // namespace

namespace {
// A sprite whose picture is opaque green inside a soft, half-transparent
// border, seen from the side through a photo at 0.9 opacity (blue) that it
// stands `behind` or in front of. Its centre is nearer to the camera than
// the photo's in both cases: only the photo's plane says which is in front.
TEST(SeeThroughPhotos, ShowASpriteBehindThroughThemAndOneInFrontOverThem) {
    for (bool behind : {true, false}) {
        SCOPED_TRACE(behind ? "behind the photo" : "in front of the photo");
        auto view = rendertest::makeView({390, 844}, ar::poseAt({1.3f, 0.1f, 0.7f}, 38, -3));
        const scene::Vector3 centre{0.189f, -0.226f, behind ? -1.198f : -1.0f};
        rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 1.0, 1.333, {0, 0, -1.1f},
                             {}, true, 0.9f);
        auto bitmap = std::make_shared<graphics::Bitmap>(90, 90);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 90; ++x) {
                bool edge = std::min({x, y, 89 - x, 89 - y}) < 12;
                bitmap->setPixel(x, y, edge ? Rgba{0, 128, 0, 128} : green);
            }
        rendertest::addSprite(*view, std::make_shared<graphics::Image>(bitmap, 3), centre);
        auto picture = rendertest::render(*view);
        ASSERT_TRUE(picture);

        const auto right = view->pointOfView()->worldTransform().columns[0];
        const scene::Vector3 onEdge{centre.x + right[0] * 0.045f, centre.y,
                                    centre.z + right[2] * 0.045f};
        Rgba middle = rendertest::pixelAtWorld(*picture, *view, centre);
        Rgba edge = rendertest::pixelAtWorld(*picture, *view, onEdge);
        if (behind) {
            EXPECT_TRUE(near(middle, rendertest::over(blue, green, 0.9), 2)) << describe(middle);
            EXPECT_LT(edge.g, 40) << "the edge is seen through the photo: " << describe(edge);
        } else {
            EXPECT_TRUE(near(middle, green, 2)) << describe(middle);
            EXPECT_GT(edge.g, 100) << "the edge lies over the photo: " << describe(edge);
        }
    }
}
}  // namespace
