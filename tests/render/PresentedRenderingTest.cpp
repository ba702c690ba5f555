// The presented panels on screen, over the dimmed view: drawn where their
// layout says, with the colours the layout gives, the picker's thumbnails
// showing their files and the share sheet's preview its picture.
#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "platform/render/Renderer.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using graphics::Rgba;
using rendertest::describe;
using rendertest::near;

const Rgba panel{247, 247, 247, 255};

struct Shot {
    std::shared_ptr<ui::SceneView> view;
    std::shared_ptr<const graphics::Bitmap> picture;
    std::shared_ptr<const graphics::Bitmap> room;
    ui::PresentedLayout layout;
};

// The screen with `presented` over an empty room.
Shot shoot(std::shared_ptr<ui::ViewController> presented,
           ui::PresentedEnvironment environment = {}) {
    Shot shot;
    if (environment.screenSize.width == 0) environment.screenSize = {390, 844};
    shot.view = rendertest::makeView(environment.screenSize);
    shot.room = rendertest::render(*shot.view);
    environment.idiom = ui::currentLaunchDescription().idiom;
    environment.photoLibrary = ui::currentLaunchDescription().photoLibrary;
    shot.layout = ui::layoutPresented(*presented, environment);
    ui::FrameDescription frame{shot.view,
                               environment.screenSize,
                               {{presented, std::make_shared<ui::PresentedLayout>(shot.layout)}}};
    auto picture = rendertest::eglRenderer().renderFrame(frame, 3);
    EXPECT_TRUE(picture) << (picture ? "" : picture.error());
    if (picture) shot.picture = picture.value();
    return shot;
}

// How many pixels in `rect` (points) pass `test`.
template <class Test>
int count(const graphics::Bitmap& bitmap, const graphics::Rect& rect, Test test) {
    int n = 0;
    for (int y = static_cast<int>(rect.origin.y * 3);
         y < static_cast<int>((rect.origin.y + rect.height()) * 3); ++y)
        for (int x = static_cast<int>(rect.origin.x * 3);
             x < static_cast<int>((rect.origin.x + rect.width()) * 3); ++x)
            if (test(bitmap.pixel(x, y))) ++n;
    return n;
}

bool reddish(Rgba c) { return c.r > 200 && c.g < 120 && c.b < 120; }
bool bluish(Rgba c) { return c.b > 200 && c.r < 80 && c.g < 170; }

// The room `alpha` darker where `point` is, as dimmed behind a panel.
testing::AssertionResult dimmed(const Shot& shot, graphics::Point point, double alpha) {
    Rgba seen = rendertest::pixelAt(*shot.picture, point.x, point.y);
    Rgba expected =
        rendertest::over({0, 0, 0, 255}, rendertest::pixelAt(*shot.room, point.x, point.y), alpha);
    if (near(seen, expected, 2)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << describe(seen) << ", expected " << describe(expected);
}

// An alert dims the screen behind its panel and shows the destructive
// action in red, Cancel in the tint, and the message above them.
TEST(PresentedAlerts, DimTheScreenAndShowTheirActionsColours) {
    Shot shot = shoot(testsupport::clearAlert());
    ASSERT_TRUE(shot.picture && shot.room);
    EXPECT_TRUE(dimmed(shot, {20, 100}, 0.4));
    const auto& frame = shot.layout.panel;
    Rgba inside = rendertest::pixelAt(*shot.picture, frame.origin.x + 20, frame.origin.y + 6);
    EXPECT_TRUE(near(inside, panel, 1)) << describe(inside);
    ASSERT_EQ(shot.layout.targets.size(), 2u);
    const auto& cancel = shot.layout.targets[0].rect;
    const auto& ok = shot.layout.targets[1].rect;
    EXPECT_GT(count(*shot.picture, ok, reddish), 50);
    EXPECT_EQ(count(*shot.picture, ok, bluish), 0);
    EXPECT_GT(count(*shot.picture, cancel, bluish), 50);
    EXPECT_EQ(count(*shot.picture, cancel, reddish), 0);
    // The message is drawn in the panel above the buttons.
    graphics::Rect header{
        shot.layout.panel.origin,
        {shot.layout.panel.width(), cancel.origin.y - shot.layout.panel.origin.y}};
    EXPECT_GT(count(*shot.picture, header, [](Rgba c) { return c.r < 60 && c.g < 60 && c.b < 60; }),
              100);
}

TEST(PresentedSheets, CoverTheBottomOfAPhoneWithCancelOnWhite) {
    Shot shot =
        shoot(testsupport::alertWith(ui::AlertControllerStyle::actionSheet, "Please select:",
                                     {{"Load Scrawlet", ui::AlertActionStyle::destructive},
                                      {"Cancel", ui::AlertActionStyle::cancel}}));
    ASSERT_TRUE(shot.picture);
    const auto& load = shot.layout.targets[0].rect;
    const auto& cancel = shot.layout.targets[1].rect;
    EXPECT_TRUE(near(rendertest::pixelAt(*shot.picture, cancel.origin.x + 20, cancel.origin.y + 28),
                     {255, 255, 255, 255}, 1));
    EXPECT_TRUE(
        near(rendertest::pixelAt(*shot.picture, load.origin.x + 20, load.origin.y + 28), panel, 1));
    EXPECT_GT(count(*shot.picture, load, reddish), 50);
    EXPECT_GT(count(*shot.picture, cancel, bluish), 50);
}

using testsupport::PadDevice;

TEST(PresentedSheets, PointAtTheirSourceAsAPopoverOnAPad) {
    PadDevice device;
    ui::View source;
    auto sheet = testsupport::menuSheet();
    auto* popover = sheet->popoverPresentationController();
    ASSERT_NE(popover, nullptr);
    popover->setSourceView(&source);
    popover->setSourceRect({{0, 784}, {60, 60}});
    popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
    ui::PresentedEnvironment environment;
    environment.idiom = ui::UserInterfaceIdiom::pad;
    Shot shot = shoot(sheet, environment);
    ASSERT_TRUE(shot.picture && shot.room);
    ASSERT_EQ(shot.layout.arrowDirection, ui::PopoverArrowDirection::down);

    // The arrow: panel-coloured just above its tip, the dimmed room beside.
    graphics::Point tip;
    for (const auto& shape : shot.layout.shapes)
        if (auto* arrow = std::get_if<ui::PresentedArrow>(&shape)) tip = arrow->tip;
    EXPECT_TRUE(near(rendertest::pixelAt(*shot.picture, tip.x, tip.y - 3), panel, 2));
    EXPECT_FALSE(near(rendertest::pixelAt(*shot.picture, tip.x + 16, tip.y - 3), panel, 30));
    // Only the popover's own panel is light: the room is dimmed a little.
    EXPECT_TRUE(dimmed(shot, {300, 100}, 0.15));
}

TEST(PresentedPickers, ShowAThumbnailOfEachPicture) {
    const std::vector<Rgba> colours{{220, 30, 30, 255}, {30, 200, 40, 255}, {40, 60, 210, 255}};
    auto library = testsupport::freshDirectory("picker-pictures");
    for (std::size_t i = 0; i < colours.size(); ++i)
        testsupport::writePicture(library / ("picture" + std::to_string(i) + ".png"), colours[i],
                                  60, 40);
    testsupport::PlatformScope withPictures(
        testsupport::changed([&](auto& d) { d.photoLibrary = library; }));
    Shot shot = shoot(std::make_shared<ui::ImagePickerController>());
    ASSERT_TRUE(shot.picture);
    std::size_t picked = 0;
    for (const auto& target : shot.layout.targets) {
        if (target.role != ui::PresentedTargetRole::pickFile) continue;
        std::size_t index = static_cast<std::size_t>(target.file.stem().string().back() - '0');
        ASSERT_LT(index, colours.size());
        Rgba seen = rendertest::pixelAt(*shot.picture, target.rect.midX(), target.rect.midY());
        EXPECT_TRUE(near(seen, colours[index], 2)) << target.file << ": " << describe(seen);
        ++picked;
    }
    EXPECT_EQ(picked, colours.size());
}

TEST(PresentedPickers, ShowTheRoomThroughTheCamerasViewfinder) {
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setSourceType(ui::ImagePickerSourceType::camera);
    Shot shot = shoot(picker);
    ASSERT_TRUE(shot.picture && shot.room);
    ASSERT_TRUE(shot.layout.viewfinder);
    const auto& viewfinder = *shot.layout.viewfinder;
    for (double y : {viewfinder.origin.y + 10, viewfinder.origin.y + viewfinder.height() / 2})
        EXPECT_EQ(describe(rendertest::pixelAt(*shot.picture, 100, y)),
                  describe(rendertest::pixelAt(*shot.room, 100, y)));
    Rgba bar = rendertest::pixelAt(*shot.picture, 100, viewfinder.origin.y - 5);
    EXPECT_TRUE(near(bar, {13, 13, 13, 255}, 2)) << describe(bar);
}

TEST(PresentedShareSheets, PreviewTheirPicture) {
    auto image = rendertest::solidImage(390, 814, {200, 0, 200, 255});
    auto share = testsupport::shareSheet(image);
    Shot shot = shoot(share);
    ASSERT_TRUE(shot.picture);
    const ui::PresentedPicture* preview = nullptr;
    for (const auto& shape : shot.layout.shapes)
        if (auto* picture = std::get_if<ui::PresentedPicture>(&shape)) preview = picture;
    ASSERT_NE(preview, nullptr);
    Rgba seen = rendertest::pixelAt(*shot.picture, preview->rect.midX(), preview->rect.midY());
    EXPECT_TRUE(near(seen, {200, 0, 200, 255}, 1)) << describe(seen);
    const auto& save = shot.layout.targets.at(0);
    ASSERT_EQ(save.role, ui::PresentedTargetRole::saveToPictures);
    EXPECT_GT(count(*shot.picture, save.rect, bluish), 50) << "Save to Pictures is not drawn";
}

}  // namespace
