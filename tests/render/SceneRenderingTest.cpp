// The 3-D scene over the room: pictures where their planes project, seen
// from the point of view with the scene view's own projection; billboards,
// double-sided and single-sided planes, opacity, blending and transparency.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "RenderHarness.h"
#include "controller/ViewController.h"
#include "platform/ar/Session.h"
#include "platform/render/Gl.h"

namespace {

using graphics::Rgba;
using rendertest::describe;
using rendertest::near;
using rendertest::renderer;
using scene::Vector3;

const Rgba green{0, 255, 0, 255};
const Rgba red{255, 0, 0, 255};
const Rgba blue{0, 0, 255, 255};
const Rgba white{255, 255, 255, 255};

// What a point of the world should look like, given the room seen there.
struct Probe {
    Vector3 world;
    std::function<Rgba(Rgba room)> expected;
    int tolerance = 2;
};
std::function<Rgba(Rgba)> is(Rgba colour) {
    return [colour](Rgba) { return colour; };
}
// `colour` at `alpha` over the room.
std::function<Rgba(Rgba)> over(Rgba colour, double alpha = 1) {
    return [colour, alpha](Rgba room) { return rendertest::over(colour, room, alpha); };
}
const std::function<Rgba(Rgba)> room = [](Rgba seen) { return seen; };

struct Case {
    const char* name;
    scene::Matrix4 pose;
    std::function<void(ui::SceneView&)> build;
    std::vector<Probe> probes;
};

const Vector3 ahead{0.3f, 0.2f, -1.5f};

// Each probe of `picture` against the same view drawn `empty`.
void expectProbes(const graphics::Bitmap& picture, const graphics::Bitmap& empty,
                  const ui::SceneView& view, const std::vector<Probe>& probes) {
    for (const Probe& probe : probes) {
        Rgba seen = rendertest::pixelAtWorld(picture, view, probe.world);
        Rgba expected = probe.expected(rendertest::pixelAtWorld(empty, view, probe.world));
        EXPECT_TRUE(near(seen, expected, probe.tolerance))
            << describe(seen) << ", expected " << describe(expected) << " at " << probe.world.x
            << ", " << probe.world.y << ", " << probe.world.z;
    }
}

// Builders of scenes: a sprite of `image` at `at`; a plane of `image`,
// `width` × `height` metres at `at`, turned by `rotation`; both of two.
using Build = std::function<void(ui::SceneView&)>;
Build sprite(std::shared_ptr<graphics::Image> image, Vector3 at) {
    return [=](ui::SceneView& v) { rendertest::addSprite(v, image, at); };
}
Build plane(std::shared_ptr<graphics::Image> image, double width, double height, Vector3 at,
            scene::Vector4 rotation = {}, bool doubleSided = false, float opacity = 1) {
    return [=](ui::SceneView& v) {
        rendertest::addPlane(v, image, width, height, at, rotation, doubleSided, opacity);
    };
}
Build both(Build first, Build second) {
    return [=](ui::SceneView& v) {
        first(v);
        second(v);
    };
}
std::shared_ptr<graphics::Image> solid(Rgba colour) {
    return rendertest::solidImage(30, 30, colour);
}
// What a texel of a drawn test picture is: its colour, that colour half
// transparent, or nothing.
enum class Texel { opaque, soft, none };

// A picture `side` texels square of `colour`, each texel as `shape` (given
// its column and row) says.
std::shared_ptr<graphics::Image> shaped(Rgba colour, const std::function<Texel(int, int)>& shape,
                                        int side = 90) {
    auto bitmap = std::make_shared<graphics::Bitmap>(side, side);
    const Rgba soft{static_cast<std::uint8_t>(colour.r / 2),
                    static_cast<std::uint8_t>(colour.g / 2),
                    static_cast<std::uint8_t>(colour.b / 2), 128};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const Texel texel = shape(x, y);
            bitmap->setPixel(x, y,
                             texel == Texel::opaque ? colour
                             : texel == Texel::soft ? soft
                                                    : Rgba{0, 0, 0, 0});
        }
    return std::make_shared<graphics::Image>(bitmap, 3);
}

// A picture opaque `colour` inside a soft, half-transparent border, a
// tenth of its side wide or more.
std::shared_ptr<graphics::Image> softSquare(Rgba colour, int side = 90) {
    const int border = std::max(12, side / 10);
    return shaped(
        colour,
        [&](int x, int y) {
            return std::min({x, y, side - 1 - x, side - 1 - y}) < border ? Texel::soft
                                                                         : Texel::opaque;
        },
        side);
}

// A ring: opaque `colour` between two circles, a soft rim outside it and a
// hole inside, and transparent corners.
std::shared_ptr<graphics::Image> ring(Rgba colour) {
    return shaped(colour, [](int x, int y) {
        const float r = std::hypot(static_cast<float>(x) - 44.5f, static_cast<float>(y) - 44.5f);
        return r < 14 || r >= 43 ? Texel::none : r >= 38 ? Texel::soft : Texel::opaque;
    });
}

// Strokes as the program places them: every sprite at one distance from
// the camera, through the touched point, so that those further from the
// middle of the screen are nearer. Each stroke walks at random.
class Scribble {
public:
    Scribble(ui::SceneView& view, unsigned seed) : view_(view), random_(seed) {}
    // A stroke from a place and heading at random, or from (x, y) on the
    // plane a metre ahead of the camera.
    void start() { x_ = across_(random_), y_ = down_(random_), heading_ = turn_(random_) * 8; }
    void startAt(float x, float y) { x_ = x, y_ = y; }
    // `count` more samples of the stroke, each a sprite of `picture`.
    void place(int count, const std::shared_ptr<graphics::Image>& picture) {
        for (int i = 0; i < count; ++i) {
            heading_ += turn_(random_);
            x_ += 0.012f * std::cos(heading_), y_ += 0.012f * std::sin(heading_);
            const Vector3 direction{x_, y_, -1};
            sprites.push_back(rendertest::addSprite(
                view_, picture, direction * (1.234f / scene::length(direction))));
        }
    }
    std::vector<std::shared_ptr<scene::Node>> sprites;

private:
    ui::SceneView& view_;
    std::mt19937 random_;
    std::uniform_real_distribution<float> across_{-0.3f, 0.3f}, down_{-0.6f, 0.6f},
        turn_{-0.5f, 0.5f};
    float x_ = 0, y_ = 0, heading_ = 0;
};

TEST(SceneRendering, PlanesShowWhereAndHowTheViewSeesThem) {
    const auto none = scene::Matrix4::identity();
    const auto sideways = ar::poseAt({1, 0, -1}, 90, 0);  // right of the origin, looking left
    const auto behind = ar::poseAt({0, 0, -2.5f}, 180, 0);
    const Vector3 at{0, 0, -1};
    // An emoji's own middle pixel over the room, magnified a little.
    auto apple = scrawlet::ViewController(ui::Coder{}).renderEmojiImage("🍎", 30);
    ASSERT_TRUE(apple);
    const auto& stored = *apple->cgImage();
    const Rgba middle = stored.pixel(stored.width() / 2, stored.height() / 2);
    const Case cases[] = {
        {"a sprite shows its emoji in its colours",
         none,
         sprite(apple, {0, 0, -1.234f}),
         {{{0, 0, -1.234f}, over(middle), 16}}},
        {"a sprite shows its picture inside its square and the room outside",
         none,
         sprite(solid(green), ahead),
         {{ahead, is(green)},
          {{ahead.x - 0.045f, ahead.y - 0.045f, ahead.z}, is(green)},
          {{ahead.x + 0.045f, ahead.y + 0.045f, ahead.z}, is(green)},
          {{ahead.x + 0.056f, ahead.y, ahead.z}, room},
          {{ahead.x - 0.056f, ahead.y, ahead.z}, room},
          {{ahead.x, ahead.y + 0.056f, ahead.z}, room},
          {{ahead.x, ahead.y - 0.056f, ahead.z}, room}}},
        {"a sprite stays put when the camera moves",
         ar::poseAt({0.3f, 0.1f, 0.2f}, 10, -5),
         sprite(solid(green), {0, 0, -1.2f}),
         {{{0, 0, -1.2f}, is(green)}, {{0.06f, 0, -1.2f}, room}}},
        {"a billboard seen from the side faces the camera",
         sideways,
         sprite(solid(green), at),
         {{{0, 0, -1.04f}, is(green)}, {{0, 0, -0.96f}, is(green)}}},
        {"without the constraint a plane is edge on from the side",
         sideways,
         plane(solid(green), 0.1, 0.1, at, {}, true),
         {{{0, 0, -1.04f}, room}}},
        // Seen from behind, the viewer's left is the world's +x.
        {"a billboard is never seen from behind: red stays on the left",
         ar::poseAt({0, 0, -2}, 180, 0),
         sprite(rendertest::splitImage(30, 30, red, blue), at),
         {{{0.025f, 0, -1}, is(red)}, {{-0.025f, 0, -1}, is(blue)}}},
        {"a double-sided plane from behind is mirrored",
         behind,
         plane(rendertest::splitImage(40, 30, red, blue), 1.0, 0.75, at, {}, true),
         {{{-0.25f, 0, -1}, is(red)}, {{0.25f, 0, -1}, is(blue)}}},
        {"a single-sided plane is not seen from behind",
         behind,
         plane(solid(green), 0.5, 0.5, {0, 0, -1.5f}),
         {{{0, 0, -1.5f}, room}}},
        {"a photo at 0.9 opacity lets the room through",
         none,
         plane(rendertest::solidImage(40, 30, blue), 1.0, 0.75, {0, 0, -1.1f}, {}, true, 0.9f),
         {{{0, 0, -1.1f}, over(blue, 0.9)}}},
        {"opacity multiplies down the tree",
         none,
         [](ui::SceneView& v) {
             plane(solid(white), 0.4, 0.4, {0, 0, -1})(v);
             auto parent = scene::Node::make();
             parent->setOpacity(0.5f);
             auto child = v.scene()->rootNode()->childNodes().back();
             child->setOpacity(0.5f);
             parent->addChildNode(child);
             v.scene()->rootNode()->addChildNode(parent);
         },
         {{at, over(white, 0.25)}}},
        {"transparent pictures blend back to front, whatever their order in the scene",
         none,
         both(plane(solid(red), 0.3, 0.3, at, {}, false, 0.5f),
              plane(solid(blue), 1.0, 1.0, {0, 0, -2}, {}, false, 0.5f)),
         {{at, [](Rgba r) { return rendertest::over(red, rendertest::over(blue, r, 0.5), 0.5); },
           3}}},
        // The photo turned 60° about the vertical: its left half is in front.
        {"a photo crossing a sprite hides the part behind it",
         none,
         both(sprite(solid(green), at), plane(solid(blue), 0.3, 0.3, at, {0, 1, 0, 1.0472f}, true)),
         {{{-0.03f, 0, -1}, is(blue)}, {{0.03f, 0, -1}, is(green)}}},
        {"a picture stored upside down and tagged so is shown upright",
         none,
         plane(
             std::make_shared<graphics::Image>(rendertest::splitImage(30, 30, blue, red)->cgImage(),
                                               3, graphics::ImageOrientation::down),
             0.4, 0.4, at),
         {{{-0.1f, 0, -1}, is(red)}, {{0.1f, 0, -1}, is(blue)}}},
        {"a plane without a picture is white",
         none,
         plane(nullptr, 0.4, 0.4, at),
         {{at, is(white), 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto view = rendertest::makeView({390, 844}, c.pose);
        auto empty = rendertest::render(*view);
        c.build(*view);
        auto picture = rendertest::render(*view);
        ASSERT_TRUE(picture && empty);
        expectProbes(*picture, *empty, *view, c.probes);
    }
}

// The renderer keeps what it draws between frames: every change to the
// scene after a frame shows in the next one.
TEST(SceneRendering, AChangeAfterAFrameShowsInTheNext) {
    struct Change {
        const char* name;
        std::function<void(scene::Node& node, scene::Node& parent)> change;
        std::vector<Probe> probes;
    };
    const Vector3 at{0, 0, -1};
    const Change changes[] = {
        {"moved",
         [](scene::Node& n, scene::Node&) {
             n.setPosition({0.3f, 0, -1});
         },
         {{at, room}, {{0.3f, 0, -1}, is(green)}}},
        {"faded with its parent",
         [](scene::Node&, scene::Node& p) { p.setOpacity(0.5f); },
         {{at, over(green, 0.5)}}},
        {"taken out", [](scene::Node& n, scene::Node&) { n.removeFromParentNode(); }, {{at, room}}},
        {"a new picture",
         [](scene::Node& n, scene::Node&) {
             n.geometry()->firstMaterial()->diffuse.contents = rendertest::solidImage(30, 30, red);
         },
         {{at, is(red)}}},
        {"a wider plane",
         [](scene::Node& n, scene::Node&) {
             dynamic_cast<scene::Plane&>(*n.geometry()).setWidth(0.5);
         },
         {{{0.2f, 0, -1}, is(green)}}},
        {"single-sided, seen from behind",
         [](scene::Node& n, scene::Node&) {
             n.setConstraints({});
             n.setRotation({0, 1, 0, 3.14159f});
         },
         {{at, room}}},
        {"turned round and double-sided",
         [](scene::Node& n, scene::Node&) {
             n.setConstraints({});
             n.setRotation({0, 1, 0, 3.14159f});
             n.geometry()->firstMaterial()->doubleSided = true;
         },
         {{at, is(green)}}},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        auto view = rendertest::makeView();
        auto empty = rendertest::render(*view);
        auto parent = scene::Node::make();
        auto node = rendertest::addSprite(*view, solid(green), at);
        parent->addChildNode(node);
        view->scene()->rootNode()->addChildNode(parent);
        auto first = rendertest::render(*view);
        ASSERT_TRUE(first && empty);
        EXPECT_TRUE(near(rendertest::pixelAtWorld(*first, *view, at), green, 2));
        c.change(*node, *parent);
        auto next = rendertest::render(*view);
        ASSERT_TRUE(next);
        expectProbes(*next, *empty, *view, c.probes);
    }
}

TEST(SceneRendering, AFarSpriteIsDrawnFromASmallerPictureAndDoesNotShimmer) {
    // A fine checkerboard, seen from 8 m: a handful of pixels across, each
    // the board's average grey, not whichever square it happened to hit.
    auto board = std::make_shared<graphics::Bitmap>(90, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 90; ++x)
            board->setPixel(x, y, (x + y) % 2 ? white : Rgba{0, 0, 0, 255});
    auto view = rendertest::makeView();
    const Vector3 centre{0, 0, -8};
    rendertest::addSprite(*view, std::make_shared<graphics::Image>(board, 3), centre);
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    for (float dx : {-0.02f, 0.0f, 0.02f})
        for (float dy : {-0.02f, 0.0f, 0.02f}) {
            Rgba seen = rendertest::pixelAtWorld(*picture, *view, {dx, dy, centre.z});
            EXPECT_NEAR(seen.r, 128, 24) << describe(seen) << " at " << dx << ", " << dy;
        }
}

TEST(SceneRendering, TheRoomIsDrawnFromThePointOfView) {
    auto view = rendertest::makeView();
    auto before = rendertest::render(*view);
    view->session().deliverFrame(ar::poseAt({0.3f, 0.1f, 0.2f}, 10, -5));
    auto after = rendertest::render(*view);
    ASSERT_TRUE(before && after);
    EXPECT_NE(describe(rendertest::pixelAt(*before, 100, 200)),
              describe(rendertest::pixelAt(*after, 100, 200)));
}

// A sprite whose picture is opaque green inside a soft, half-transparent
// border, seen from the side through a photo at 0.9 opacity (blue) that it
// stands behind or in front of. Its centre is nearer to the camera than the
// photo's in both cases: only the photo's plane says which is in front.
TEST(SceneRendering, ASpriteBehindASeeThroughPhotoShowsThroughItAndOneInFrontOverIt) {
    for (bool behind : {true, false}) {
        SCOPED_TRACE(behind ? "behind the photo" : "in front of the photo");
        auto view = rendertest::makeView({390, 844}, ar::poseAt({1.3f, 0.1f, 0.7f}, 38, -3));
        const Vector3 centre{0.189f, -0.226f, behind ? -1.198f : -1.0f};
        rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 1.0, 1.333, {0, 0, -1.1f},
                             {}, true, 0.9f);
        rendertest::addSprite(*view, softSquare(green), centre);
        auto picture = rendertest::render(*view);
        ASSERT_TRUE(picture);

        const auto right = view->pointOfView()->worldTransform().columns[0];
        const Vector3 onEdge{centre.x + right[0] * 0.045f, centre.y, centre.z + right[2] * 0.045f};
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

// The renderer keeps its order of the planes from frame to frame: a stroke
// is merged into it, and the opaque planes keep theirs while the point of
// view moves a little. Every such frame is the picture that ordering
// everything afresh draws.
TEST(SceneRendering, FramesThatKeepTheOrderDrawWhatOrderingAfreshDraws) {
    auto view = rendertest::makeView();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-0.25f, 0.25f), deep(-1.6f, -1.0f);
    const Rgba colours[] = {green, red, blue, white};
    std::vector<std::shared_ptr<scene::Node>> sprites;
    auto stroke = [&](int count) {
        for (int i = 0; i < count; ++i)
            sprites.push_back(
                rendertest::addSprite(*view, softSquare(colours[sprites.size() / 5 % 4]),
                                      {across(random), across(random), deep(random)}));
    };
    // Drawn as it stands, then afresh: after a view of another scene, whose
    // planes the renderer takes in instead.
    auto other = rendertest::makeView();
    rendertest::addSprite(*other, solid(red), ahead);
    auto expectAsAfresh = [&](const char* step) {
        SCOPED_TRACE(step);
        auto kept = rendertest::render(*view);
        rendertest::render(*other);
        auto fresh = rendertest::render(*view);
        ASSERT_TRUE(kept && fresh);
        EXPECT_EQ(rendertest::differentPixels(*kept, *fresh, 1), 0);
    };
    stroke(40);
    rendertest::render(*view);
    stroke(20);
    expectAsAfresh("a stroke added");
    view->session().deliverFrame(ar::poseAt({0.02f, 0, 0}, 2, 1));
    expectAsAfresh("the point of view moved a little");
    view->session().deliverFrame(ar::poseAt({0.03f, 0.01f, 0}, 3, 1));
    stroke(20);
    expectAsAfresh("moved a little and a stroke added");
    for (int frame = 0; frame < 30; ++frame) {
        stroke(2);
        rendertest::render(*view);
    }
    expectAsAfresh("strokes added frame after frame");
    // Past the first rows of the table that holds each plane for the GPU,
    // which grows as it goes.
    for (int frame = 0; frame < 3; ++frame) {
        stroke(300);
        rendertest::render(*view);
    }
    stroke(30);
    expectAsAfresh("strokes past a thousand planes");
    sprites[10]->removeFromParentNode();
    expectAsAfresh("a sprite taken out");
    rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 0.3, 0.4, {0, 0, -1.3f}, {},
                         true, 0.9f);
    expectAsAfresh("a see-through photo added");
    stroke(20);
    expectAsAfresh("a stroke added in front of and behind the photo");
    // Touched twice at one point: the later sprite, at the very place of
    // the earlier, is the one seen.
    const Vector3 twice{0.05f, -0.3f, -0.9f};
    rendertest::addSprite(*view, softSquare(red), twice);
    rendertest::render(*view);
    rendertest::addSprite(*view, softSquare(blue), twice);
    expectAsAfresh("a sprite at the place of another");
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(near(rendertest::pixelAtWorld(*picture, *view, twice), blue, 2))
        << describe(rendertest::pixelAtWorld(*picture, *view, twice));
}

}  // namespace

namespace {

// A frame that changes nothing the scene view shows copies the last frame's
// picture; planes added are drawn again only where they lie; any other
// change draws it all again. Either way the picture is the one drawn from
// scratch.
TEST(SceneRendering, AnUnchangedViewIsCopiedAndAnyChangeDrawsItAgain) {
    auto view = rendertest::makeView();
    std::vector<std::shared_ptr<scene::Node>> sprites;
    for (int i = 0; i < 12; ++i)
        sprites.push_back(rendertest::addSprite(
            *view, softSquare(i % 2 == 0 ? green : red),
            {0.04f * static_cast<float>(i) - 0.2f, 0.03f * static_cast<float>(i % 5), -1.2f}));
    rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 0.3, 0.4, {0, 0, -1.4f}, {},
                         true, 0.9f);
    auto other = rendertest::makeView();
    rendertest::addSprite(*other, solid(red), ahead);

    // After `change`, drawn twice at `scale`: the first draws (`partly`:
    // only some of the planes), the second copies; both are what drawing
    // without a kept picture gives.
    auto expectDrawnThenKept = [&](const char* step, const std::function<void()>& change,
                                   double scale = 3, bool partly = false) {
        SCOPED_TRACE(step);
        rendertest::render(*view);
        change();
        auto drawn = rendertest::render(*view, scale);
        EXPECT_FALSE(renderer().lastFrame().sceneKept);
        if (partly)
            EXPECT_LT(renderer().lastFrame().scenePlanesDrawn, renderer().lastFrame().planes);
        else
            EXPECT_EQ(renderer().lastFrame().scenePlanesDrawn, renderer().lastFrame().planes);
        auto kept = rendertest::render(*view, scale);
        EXPECT_TRUE(renderer().lastFrame().sceneKept);
        EXPECT_EQ(renderer().lastFrame().sceneDrawCalls, 0u);
        rendertest::setOption(&ui::RenderOptions::keepPicture, false);
        auto fresh = rendertest::render(*view, scale);
        EXPECT_FALSE(renderer().lastFrame().sceneKept);
        rendertest::setOption(&ui::RenderOptions::keepPicture, true);
        ASSERT_TRUE(drawn && kept && fresh);
        EXPECT_EQ(rendertest::differentPixels(*drawn, *fresh, 0), 0);
        EXPECT_EQ(rendertest::differentPixels(*kept, *fresh, 0), 0);
    };
    expectDrawnThenKept(
        "a sprite added",
        [&] {
            rendertest::addSprite(*view, softSquare(green), {0.1f, -0.1f, -1.25f});
        },
        3, true);
    // A picture not drawn before: the atlas's smaller levels change.
    expectDrawnThenKept("a sprite of another picture added", [&] {
        rendertest::addSprite(*view, softSquare(white), {-0.1f, -0.1f, -1.3f});
    });
    // Across others, some in front of the photo and some behind it, as a
    // finger's stroke places them frame after frame.
    for (int i = 0; i < 6; ++i)
        expectDrawnThenKept(
            "a stroke growing",
            [&] {
                const float t = static_cast<float>(i);
                rendertest::addSprite(*view, softSquare(i % 2 == 0 ? red : white),
                                      {0.03f * t - 0.1f, 0.02f * t, -1.25f - 0.04f * t});
            },
            3, true);
    expectDrawnThenKept("a sprite taken out", [&] { sprites[3]->removeFromParentNode(); });
    expectDrawnThenKept("a see-through photo added", [&] {
        rendertest::addPlane(*view, rendertest::solidImage(40, 30, red), 0.2, 0.2,
                             {0.05f, 0, -1.15f}, {}, true, 0.9f);
    });
    expectDrawnThenKept("a sprite's picture changed", [&] {
        sprites[4]->geometry()->firstMaterial()->diffuse.contents = softSquare(green);
    });
    expectDrawnThenKept("the point of view moved", [&] {
        view->session().deliverFrame(ar::poseAt({0.02f, 0, 0}, 2, 1));
    });
    expectDrawnThenKept(
        "a smaller picture", [] {}, 1);
    expectDrawnThenKept("another view drawn between", [&] { rendertest::render(*other); });
    expectDrawnThenKept("the pictures released", [&] { renderer().releaseTextures(); });
}

// Sprites added while the point of view stays are drawn only where they
// lie, from the planes found there in both passes' orders, without passing
// over the rest: frame after frame, a stroke at once, after some were taken
// out, two at one place and after the camera moved a little. Each picture
// is the one drawn afresh after another scene. (Every sprite is drawn whole
// here, so that the pictures are the same to the bit.)
TEST(SceneRendering, PlanesAddedAreDrawnWhereTheyLieAsAFreshFrameDrawsThem) {
    auto view = rendertest::makeView();
    // The last, a large picture, has a texture of its own.
    const std::shared_ptr<graphics::Image> pictures[] = {
        softSquare(green), scrawlet::ViewController(ui::Coder{}).renderEmojiImage("🍎", 30),
        solid(blue), ring(white), softSquare(red, 300)};
    Scribble scribble(*view, 5);
    auto& sprites = scribble.sprites;
    auto place = [&](int count, int picture) { scribble.place(count, pictures[picture % 5]); };
    for (int stroke = 0; stroke < 8; ++stroke) {
        scribble.start();
        place(25, stroke);
    }
    // And an opaque photo behind them, which reaches everywhere.
    rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 1.0, 1.333, {0, 0, -1.6f}, {},
                         true, 1.0f);
    auto other = rendertest::makeView();
    rendertest::addSprite(*other, solid(red), ahead);
    ASSERT_TRUE(rendertest::render(*other, 1));
    rendertest::setOption(&ui::RenderOptions::hideCoveredTiles, false);
    ASSERT_TRUE(rendertest::render(*view, 1));
    auto expectAsAfresh = [&](const char* step, bool partly) {
        SCOPED_TRACE(step);
        auto drawn = rendertest::render(*view, 1);
        const auto frame = renderer().lastFrame();
        // Drawn whole as it stands, and afresh.
        rendertest::setOption(&ui::RenderOptions::keepPicture, false);
        auto whole = rendertest::render(*view, 1);
        rendertest::render(*other, 1);
        auto fresh = rendertest::render(*view, 1);
        rendertest::setOption(&ui::RenderOptions::keepPicture, true);
        ASSERT_TRUE(drawn && whole && fresh);
        if (partly) {
            EXPECT_LT(frame.scenePlanesDrawn, frame.planes / 2);
        }
        EXPECT_EQ(rendertest::differentPixels(*drawn, *fresh, 0), 0);
        EXPECT_EQ(rendertest::differentPixels(*whole, *fresh, 0), 0);
        // The next frame starts from the picture drawn afresh.
        ASSERT_TRUE(rendertest::render(*view, 1));
    };
    scribble.startAt(-0.15f, -0.35f);
    for (int sample = 0; sample < 40; ++sample) {
        // Frame after frame without a frame drawn whole in between, every
        // other one of a picture with a texture of its own: enough to make
        // the opaque order again from the blended one.
        place(1, sample % 2 == 0 ? 4 : sample);
        auto drawn = rendertest::render(*view, 1);
        ASSERT_TRUE(drawn);
        EXPECT_LT(renderer().lastFrame().scenePlanesDrawn, renderer().lastFrame().planes / 2);
    }
    expectAsAfresh("samples added frame after frame", true);
    scribble.startAt(0.05f, -0.1f);
    place(20, 3);
    expectAsAfresh("a stroke added at once", true);
    for (int i = 0; i < 5; ++i) sprites[static_cast<std::size_t>(i * 7)]->removeFromParentNode();
    expectAsAfresh("sprites taken out", false);
    place(3, 0);
    expectAsAfresh("sprites added after some were taken out", true);
    // Another picture exactly where one is: the later shows.
    const auto at = sprites.back()->position();
    sprites.push_back(rendertest::addSprite(*view, pictures[2], at));
    expectAsAfresh("a sprite where one is", true);
    view->session().deliverFrame(ar::poseAt({0.01f, 0, 0}, 1, 0));
    expectAsAfresh("the camera moved a little", false);
    place(4, 1);
    expectAsAfresh("sprites added after the camera moved", true);
    rendertest::setOption(&ui::RenderOptions::hideCoveredTiles, true);
}

// A frame drawn in between into a target that cannot take a copy (one of
// several samples a pixel, as a browser's canvas is) sees a change first;
// the next frame through the kept picture still shows it.
TEST(SceneRendering, AFrameDrawnElsewhereInBetweenLeavesNoStalePicture) {
    auto view = rendertest::makeView();
    rendertest::addSprite(*view, softSquare(green), {-0.1f, 0, -1.2f});
    rendertest::addSprite(*view, softSquare(red), {-0.1f, 0.2f, -1.2f});
    ASSERT_TRUE(rendertest::render(*view));
    const Vector3 added{0.1f, 0, -1.2f};
    rendertest::addSprite(*view, softSquare(red), added);
    {
        const int width = 390, height = 844;
        render::Framebuffer framebuffer = render::makeFramebuffer();
        render::Renderbuffer color = render::makeRenderbuffer();
        render::Renderbuffer depth = render::makeRenderbuffer();
        glBindRenderbuffer(GL_RENDERBUFFER, color.get());
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, 4, GL_RGBA8, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, depth.get());
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, 4, GL_DEPTH24_STENCIL8, width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  color.get());
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  depth.get());
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER),
                  static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        renderer().drawSceneView(*view, width, height);
        glFinish();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    auto picture = rendertest::render(*view);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(near(rendertest::pixelAtWorld(*picture, *view, added), red, 2))
        << describe(rendertest::pixelAtWorld(*picture, *view, added));
}

}  // namespace

namespace {

// A frame drawn whole leaves out of each sprite what nearer sprites' opaque
// middles hide, and the picture is the one every plane drawn whole gives
// (within 2 of 255: a quad drawn over less of itself is cut into other
// triangles, whose rounding may move a colour by one).
TEST(SceneRendering, WhatNearerSpritesHideIsLeftOutAndThePictureStaysTheSame) {
    auto view = rendertest::makeView();
    // Squares, rings with a hole that hides nothing, and emoji, whose
    // transparent corners are left out too.
    const std::shared_ptr<graphics::Image> pictures[] = {
        softSquare(green),
        ring(red),
        scrawlet::ViewController(ui::Coder{}).renderEmojiImage("🍎", 30),
        solid(blue),
        ring(white),
        scrawlet::ViewController(ui::Coder{}).renderEmojiImage("🐳", 30)};
    Scribble scribble(*view, 11);
    for (int stroke = 0; stroke < 12; ++stroke) {
        scribble.start();
        scribble.place(25, pictures[stroke % 6]);
    }
    // A see-through photo among them, and a far sprite drawn from a smaller
    // level of detail.
    rendertest::addPlane(*view, rendertest::solidImage(40, 30, blue), 0.3, 0.2, {0.1f, 0, -1.2f},
                         {}, true, 0.9f);
    rendertest::addSprite(*view, softSquare(white), {0, 0.1f, -6});

    auto expectTheSame = [&](const char* step, double scale) {
        SCOPED_TRACE(step);
        auto leftOut = rendertest::render(*view, scale);
        const std::size_t trimmed = renderer().lastFrame().sceneTrimmed;
        rendertest::setOption(&ui::RenderOptions::hideCoveredTiles, false);
        auto whole = rendertest::render(*view, scale);
        EXPECT_EQ(renderer().lastFrame().sceneTrimmed, 0u);
        rendertest::setOption(&ui::RenderOptions::hideCoveredTiles, true);
        ASSERT_TRUE(leftOut && whole);
        EXPECT_GT(trimmed, 50u);
        EXPECT_EQ(rendertest::differentPixels(*leftOut, *whole, 2), 0);
    };
    expectTheSame("as drawn", 2);
    expectTheSame("at full size", 3);
    view->session().deliverFrame(ar::poseAt({0.03f, 0.01f, 0.05f}, 4, 2));
    expectTheSame("the camera moved", 2);
}

}  // namespace
