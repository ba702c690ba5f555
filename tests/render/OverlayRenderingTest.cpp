// The overlay over the 3-D view: discs with their fill, stroke and alpha,
// icons at their own size centred on their position, labels placed by the
// left end of their baseline, children in order, stretched to fill the view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>

#include "RenderHarness.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/Resources.h"
#include "support/Scripts.h"

namespace {

using graphics::Rgba;
using rendertest::describe;
using rendertest::near;

constexpr double viewHeight = 844;

// A view with an empty room and `hud` over it, and the same view without.
struct Drawn {
    std::shared_ptr<const graphics::Bitmap> picture;
    std::shared_ptr<const graphics::Bitmap> room;
};

Drawn draw(std::shared_ptr<overlay::Scene> hud) {
    auto view = rendertest::makeView();
    auto room = rendertest::render(*view);
    view->setOverlayScene(std::move(hud));
    return {rendertest::render(*view), room};
}

// The pixel at overlay point (x, y), y upwards from the bottom edge.
Rgba at(const graphics::Bitmap& bitmap, double x, double y) {
    return rendertest::pixelAt(bitmap, x, viewHeight - y);
}

std::shared_ptr<overlay::ShapeNode> disc(double radius, graphics::Point position,
                                         graphics::Color fill, double alpha = 1) {
    auto node = overlay::ShapeNode::shapeNodeWithCircleOfRadius(radius);
    node->setPosition(position);
    node->setFillColor(fill);
    node->setStrokeColor(graphics::Color::clear());
    node->setAlpha(alpha);
    return node;
}

bool isWhite(Rgba c) { return c.r > 200 && c.g > 200 && c.b > 200; }

// The rows and columns of the view's pixels (at scale 3) where `test` holds,
// inside the rectangle of points (x0, y0)–(x1, y1), y downwards.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1, count = 0;
};
template <class Test>
Ink inkIn(const graphics::Bitmap& bitmap, double x0, double y0, double x1, double y1, Test test) {
    Ink ink;
    for (int y = static_cast<int>(y0 * 3); y < static_cast<int>(y1 * 3); ++y)
        for (int x = static_cast<int>(x0 * 3); x < static_cast<int>(x1 * 3); ++x) {
            if (!test(bitmap.pixel(x, y))) continue;
            if (ink.count++ == 0) {
                ink.top = y;
                ink.left = ink.right = x;
            }
            ink.bottom = y;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
        }
    return ink;
}

TEST(OverlayShapes, AreFilledStrokedStackedAndStretchedAsTheirNodesSay) {
    using Expect = std::function<Rgba(Rgba room)>;
    auto is = [](Rgba c) { return Expect([c](Rgba) { return c; }); };
    auto blackAt = [](double alpha) {
        return Expect([alpha](Rgba r) { return rendertest::over({0, 0, 0, 255}, r, alpha); });
    };
    const Expect room = [](Rgba r) { return r; };
    struct Probe {
        double x, y;
        Expect expected;
    };
    struct Case {
        const char* name;
        graphics::Size size;
        std::function<void(overlay::Scene&)> build;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"a disc is filled and lets the room through by its alpha",
         {390, 844},
         [&](overlay::Scene& hud) {
             hud.addChild(disc(28, {30, 30}, graphics::Color::black(), 0.8));
         },
         {{30, 30, blackAt(0.8)},
          {56, 30, blackAt(0.8)},
          {30, 4, blackAt(0.8)},
          {59.5, 30, room},
          {30, 59.5, room}}},
        {"a disc's stroke lies on its edge",
         {390, 844},
         [&](overlay::Scene& hud) {
             auto ring = disc(40, {195, 422}, graphics::Color::clear());
             ring->setStrokeColor(graphics::Color{1, 0, 0, 1});
             ring->setLineWidth(4);
             hud.addChild(ring);
         },
         {{235, 422, is({255, 0, 0, 255})}, {195, 422, room}}},
        {"later children draw over earlier ones",
         {390, 844},
         [&](overlay::Scene& hud) {
             hud.addChild(disc(30, {100, 400}, graphics::Color{1, 0, 0, 1}));
             hud.addChild(disc(30, {100, 400}, graphics::Color{0, 0, 1, 1}));
             hud.addChild(disc(30, {250, 400}, graphics::Color{0, 0, 1, 1}));
             hud.addChild(disc(30, {250, 400}, graphics::Color{1, 0, 0, 1}));
         },
         {{100, 400, is({0, 0, 255, 255})}, {250, 400, is({255, 0, 0, 255})}}},
        {"children sit relative to their parent and take its alpha",
         {390, 844},
         [&](overlay::Scene& hud) {
             auto parent = disc(1, {100, 300}, graphics::Color::clear(), 0.5);
             parent->addChild(disc(20, {50, 40}, graphics::Color::white()));
             hud.addChild(parent);
         },
         {{150, 340, Expect([](Rgba r) {
               return rendertest::over({255, 255, 255, 255}, r, 0.5);
           })}}},
        {"an overlay of another size is stretched to fill the view",
         {195, 422},
         [&](overlay::Scene& hud) {
             hud.addChild(disc(20, {97.5, 211}, graphics::Color{0, 0, 1, 1}));
         },
         {{233, 422, is({0, 0, 255, 255})}, {237, 422, room}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto hud = std::make_shared<overlay::Scene>(c.size);
        c.build(*hud);
        auto drawn = draw(hud);
        ASSERT_TRUE(drawn.picture && drawn.room);
        for (const Probe& probe : c.probes) {
            Rgba seen = at(*drawn.picture, probe.x, probe.y);
            Rgba expected = probe.expected(at(*drawn.room, probe.x, probe.y));
            EXPECT_TRUE(near(seen, expected, 2))
                << describe(seen) << ", expected " << describe(expected) << " at " << probe.x
                << ", " << probe.y;
        }
    }
}

TEST(OverlayIcons, AreDrawnAtTheirSizeCentredOnTheirPosition) {
    // An icon resource of 28 points at scale 3 whose middle 20 points are
    // white and whose border is transparent.
    auto folder = testsupport::freshDirectory("icons");
    graphics::Bitmap icon(84, 84);
    for (int y = 12; y < 72; ++y)
        for (int x = 12; x < 72; ++x) icon.setPixel(x, y, {255, 255, 255, 255});
    rendertest::writePng(icon, folder / "rendertest-icon@3x.png");
    ::setenv("SCRAWLET_RESOURCES", folder.c_str(), 1);
    auto sprite = std::make_shared<overlay::SpriteNode>("rendertest-icon");
    ASSERT_TRUE(sprite->texture()) << "the icon resource could not be read";
    ::unsetenv("SCRAWLET_RESOURCES");

    sprite->setPosition({100, 100});
    auto hud = std::make_shared<overlay::Scene>(graphics::Size{390, 844});
    hud->addChild(sprite);
    auto drawn = draw(hud);
    ASSERT_TRUE(drawn.picture && drawn.room);
    // White from 90 to 110 points across and up, the room around it.
    Ink white = inkIn(*drawn.picture, 80, viewHeight - 120, 120, viewHeight - 80, isWhite);
    EXPECT_EQ(white.left, 270);
    EXPECT_EQ(white.right, 329);
    EXPECT_EQ(white.top, static_cast<int>((viewHeight - 110) * 3));
    EXPECT_EQ(white.bottom, static_cast<int>((viewHeight - 90) * 3) - 1);
    EXPECT_EQ(describe(at(*drawn.picture, 88, 100)), describe(at(*drawn.room, 88, 100)));
}

// A HUD with one label where the app puts its own: 20-point Noteworthy,
// left-aligned, its baseline starting at (90, 22).
std::shared_ptr<overlay::Scene> hudWithTheAppsLabel(const std::string& text) {
    auto label = std::make_shared<overlay::LabelNode>("Noteworthy-Bold");
    label->setFontSize(20);
    label->setText(text);
    label->setHorizontalAlignmentMode(overlay::HorizontalAlignmentMode::left);
    label->setPosition({90, 22});
    auto hud = std::make_shared<overlay::Scene>(graphics::Size{390, 844});
    hud->addChild(label);
    return hud;
}

TEST(OverlayLabels, SitOnTheirBaselineFromTheirLeftEnd) {
    auto drawn = draw(hudWithTheAppsLabel("HELLO"));
    ASSERT_TRUE(drawn.picture);
    // Capitals without round bottoms end on the baseline, 22 points above
    // the bottom edge, and start just right of x = 90.
    Ink ink = inkIn(*drawn.picture, 60, viewHeight - 60, 200, viewHeight, isWhite);
    ASSERT_GT(ink.count, 100) << "the label's text is not drawn";
    const int baseline = static_cast<int>((viewHeight - 22) * 3);
    EXPECT_NEAR(ink.bottom, baseline - 1, 1);
    EXPECT_GE(ink.left, 90 * 3 - 1);
    EXPECT_LE(ink.left, 90 * 3 + 12);
    // About 20 points tall letters: a capital reaches 10 to 16 points up.
    EXPECT_GT(baseline - ink.top, 10 * 3);
    EXPECT_LT(baseline - ink.top, 17 * 3);
}

TEST(OverlayLabels, DrawEmojiAndChineseInTheirOwnColours) {
    auto drawn = draw(hudWithTheAppsLabel("你好🙂H"));
    ASSERT_TRUE(drawn.picture);
    Ink white = inkIn(*drawn.picture, 85, viewHeight - 50, 200, viewHeight, isWhite);
    Ink yellow = inkIn(*drawn.picture, 85, viewHeight - 50, 200, viewHeight,
                       [](Rgba c) { return c.r > 200 && c.g > 140 && c.b < 90; });
    EXPECT_GT(white.count, 100) << "the Chinese characters are not drawn in white";
    EXPECT_GT(yellow.count, 100) << "the emoji is not drawn in its colours";
    EXPECT_GT(yellow.left, white.left) << "the emoji comes after the characters";
    // The Chinese font has a taller line than the label's; the line's
    // baseline still sits 22 points up, where the H after the emoji ends.
    // Pango raises a Latin run that follows Chinese by up to a point, so
    // the H may end that much higher.
    Ink h =
        inkIn(*drawn.picture, (yellow.right + 1) / 3.0, viewHeight - 50, 220, viewHeight, isWhite);
    ASSERT_GT(h.count, 20) << "the H is not drawn";
    EXPECT_LE(h.bottom, (viewHeight - 22) * 3);
    EXPECT_GE(h.bottom, (viewHeight - 23) * 3 - 1);
}

TEST(OverlayLabels, TakeTheirColourAndAlignment) {
    auto label = std::make_shared<overlay::LabelNode>("");
    label->setFontSize(30);
    label->setText("MMMM");
    label->setFontColor(graphics::Color{1, 0, 0, 1});
    label->setHorizontalAlignmentMode(overlay::HorizontalAlignmentMode::center);
    label->setPosition({195, 400});
    auto hud = std::make_shared<overlay::Scene>(graphics::Size{390, 844});
    hud->addChild(label);
    auto drawn = draw(hud);
    ASSERT_TRUE(drawn.picture);
    Ink red = inkIn(*drawn.picture, 60, viewHeight - 460, 330, viewHeight - 380,
                    [](Rgba c) { return c.r > 200 && c.g < 60 && c.b < 60; });
    ASSERT_GT(red.count, 100);
    EXPECT_NEAR((red.left + red.right) / 2.0, 195 * 3, 3 * 3);
}

// The app's own HUD, run through the program.
struct HudShot {
    std::shared_ptr<const graphics::Bitmap> picture;
    std::shared_ptr<const graphics::Bitmap> room;
};

HudShot snapshotOfTheApp() {
    auto folder = testsupport::freshDirectory("hud");
    auto file = folder / "hud.png";
    auto run = testsupport::runScript("seed 1\nlaunch\nframe\nsnapshot " + file.string() + "\n");
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    if (run.exitStatus != 0) return {};
    return {rendertest::readPng(file), rendertest::render(*rendertest::makeView())};
}

// The app's icon `name` as the program would find it for scale 3, with its
// scale; none when the resource is missing.
std::pair<std::shared_ptr<const graphics::Bitmap>, double> iconResource(const std::string& name) {
    auto resources = std::filesystem::path(SCRAWLET_SOURCE_DIR) / "resources";
    for (auto [suffix, scale] :
         {std::pair{"@3x.png", 3.0}, std::pair{"@2x.png", 2.0}, std::pair{".png", 1.0}})
        if (std::filesystem::exists(resources / (name + suffix)))
            return {rendertest::readPng(resources / (name + suffix)), scale};
    return {nullptr, 0};
}

// Whether the icon, centred on its disc, has any ink `dx`, `dy` points from
// its middle (y upwards).
bool iconCovers(const std::pair<std::shared_ptr<const graphics::Bitmap>, double>& icon, double dx,
                double dy) {
    if (!icon.first) return false;
    const auto& bitmap = *icon.first;
    int x = static_cast<int>(std::floor(bitmap.width() / 2.0 + dx * icon.second));
    int y = static_cast<int>(std::floor(bitmap.height() / 2.0 - dy * icon.second));
    for (int ny = y - 2; ny <= y + 2; ++ny)
        for (int nx = x - 2; nx <= x + 2; ++nx)
            if (nx >= 0 && ny >= 0 && nx < bitmap.width() && ny < bitmap.height() &&
                bitmap.pixel(nx, ny).a > 0)
                return true;
    return false;
}

TEST(TheAppsHud, HasThreeDarkDiscsThatLetTheRoomShowThrough) {
    HudShot shot = snapshotOfTheApp();
    ASSERT_TRUE(shot.picture && shot.room);
    // Discs of radius 28 centred 30 points above the bottom edge, at 30, 300
    // and 360 across, looked at on a ring inside their edge wherever their
    // icon leaves the disc clear.
    const std::pair<double, const char*> discs[] = {{30, "menu"}, {300, "undo"}, {360, "delete"}};
    for (auto [x, name] : discs) {
        auto icon = iconResource(name);
        int looked = 0;
        for (int step = 0; step < 24; ++step) {
            double angle = step * std::numbers::pi / 12;
            double dx = 25 * std::cos(angle), dy = 25 * std::sin(angle);
            if (iconCovers(icon, dx, dy)) continue;
            ++looked;
            Rgba seen = at(*shot.picture, x + dx, 30 + dy);
            Rgba expected = rendertest::over({0, 0, 0, 255}, at(*shot.room, x + dx, 30 + dy), 0.8);
            EXPECT_TRUE(near(seen, expected, 2))
                << describe(seen) << " at " << x + dx << ", " << 30 + dy;
            EXPECT_GT(seen.r + seen.g + seen.b, 0) << "the room should show through";
        }
        EXPECT_GE(looked, 6) << "the " << name << " icon covers its disc's rim";
        EXPECT_EQ(describe(at(*shot.picture, x, 30 + 29.5)),
                  describe(at(*shot.room, x, 30 + 29.5)));
        EXPECT_EQ(describe(at(*shot.picture, x, 30 - 29.5)),
                  describe(at(*shot.room, x, 30 - 29.5)));
    }
    // The welcome text beside the menu button.
    Ink text = inkIn(*shot.picture, 88, viewHeight - 50, 290, viewHeight - 10, isWhite);
    EXPECT_GT(text.count, 200) << "the label's text is not drawn";
}

TEST(TheAppsHud, ShowsWhiteIconsOnItsDiscs) {
    const std::pair<double, const char*> discs[] = {{30, "menu"}, {300, "undo"}, {360, "delete"}};
    for (auto [x, name] : discs)
        if (!iconResource(name).first)
            GTEST_SKIP() << "resources/" << name
                         << "*.png is missing (the icons are being drawn elsewhere): the discs are "
                            "tested, the icons are not";
    HudShot shot = snapshotOfTheApp();
    ASSERT_TRUE(shot.picture);
    // Where an icon is opaque white the screen is light, centred on its disc.
    for (auto [x, name] : discs) {
        auto [image, scale] = iconResource(name);
        double width = image->width() / scale, height = image->height() / scale;
        int light = 0, opaque = 0;
        for (int y = 0; y < image->height(); y += 2)
            for (int ix = 0; ix < image->width(); ix += 2) {
                Rgba p = image->pixel(ix, y);
                if (p.a < 250 || !isWhite(p)) continue;
                ++opaque;
                double px = x - width / 2 + (ix + 0.5) / scale;
                double py = viewHeight - 30 - height / 2 + (y + 0.5) / scale;
                if (isWhite(rendertest::pixelAt(*shot.picture, px, py))) ++light;
            }
        ASSERT_GT(opaque, 0) << name << " has no opaque white pixels";
        EXPECT_GT(light, opaque * 9 / 10)
            << light << " of " << opaque << " white pixels of " << name << " are light on screen";
    }
}

}  // namespace
