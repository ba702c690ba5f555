// Where the framework's own panels sit and what they say: one click target
// for each action, a phone's sheet along the bottom with Cancel apart, a
// pad's popover beside its source, alerts in the middle, the picker's
// pictures by name under the folder it shows, the share sheet's preview,
// the words in the user's language, and every panel on the smallest screen.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/ui/PresentedLayout.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using Role = ui::PresentedTargetRole;
using Style = ui::AlertActionStyle;

ui::PresentedEnvironment screen(graphics::Size size, const std::filesystem::path& library = {},
                                ui::UserInterfaceIdiom idiom = ui::UserInterfaceIdiom::phone) {
    ui::PresentedEnvironment environment;
    environment.screenSize = size;
    environment.idiom = idiom;
    environment.photoLibrary = library;
    return environment;
}
const graphics::Size phone{390, 844};

std::vector<const ui::PresentedTarget*> withRole(const ui::PresentedLayout& layout, Role role) {
    std::vector<const ui::PresentedTarget*> found;
    for (const auto& target : layout.targets)
        if (target.role == role) found.push_back(&target);
    return found;
}

template <class Shape>
std::vector<const Shape*> shapes(const ui::PresentedLayout& layout) {
    std::vector<const Shape*> found;
    for (const auto& shape : layout.shapes)
        if (auto* s = std::get_if<Shape>(&shape)) found.push_back(s);
    return found;
}

const ui::PresentedText* textOf(const ui::PresentedLayout& layout, const std::string& text) {
    for (const auto* t : shapes<ui::PresentedText>(layout))
        if (t->text == text) return t;
    return nullptr;
}

bool bold(const ui::PresentedText* text) {
    return text && text->font.name.find("Bold") != std::string::npos;
}

// A phone's sheet: its actions one under another in order, Cancel apart at
// the bottom above the inset, fit sideways too, and a click on the dimmed
// screen cancels.
TEST(PhoneActionSheets, StackTheActionsInOrderWithCancelApartAtTheBottom) {
    const std::tuple<graphics::Size, double> cases[] = {{phone, 0}, {phone, 34}, {{844, 390}, 0}};
    for (auto [size, inset] : cases) {
        SCOPED_TRACE(std::to_string(size.width) + " wide, inset " + std::to_string(inset));
        auto environment = screen(size);
        environment.safeAreaInsets.bottom = inset;
        auto layout = ui::layoutPresented(*testsupport::menuSheet(), environment);
        auto actions = withRole(layout, Role::action);
        ASSERT_EQ(actions.size(), 6u);
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const auto& rect = actions[i]->rect;
            EXPECT_EQ(actions[i]->actionIndex, i);
            EXPECT_DOUBLE_EQ(rect.midX(), size.width / 2);
            EXPECT_GE(rect.height(), 40);
            if (i > 0) {
                EXPECT_GE(rect.origin.y, actions[i - 1]->rect.bottom() - 1e-9);
            }
            auto hit = layout.targetAt({rect.midX(), rect.midY()});
            ASSERT_NE(hit, nullptr);
            EXPECT_EQ(hit->actionIndex, i);
        }
        const auto& cancel = actions.back()->rect;
        EXPECT_DOUBLE_EQ(cancel.bottom(), size.height - std::max(inset, 8.0));
        EXPECT_GE(cancel.origin.y - actions[4]->rect.bottom(), 8);
        EXPECT_LE(layout.panel.bottom(), cancel.origin.y);
        EXPECT_GE(layout.panel.origin.y, 8);
        EXPECT_EQ(layout.arrowDirection, std::nullopt);
        auto outside = layout.targetAt({size.width / 2, 5});
        ASSERT_NE(outside, nullptr);
        EXPECT_EQ(outside->role, Role::outside);
        EXPECT_EQ(outside->actionIndex, 5u);
        EXPECT_TRUE(bold(textOf(layout, "Cancel")));
        EXPECT_FALSE(bold(textOf(layout, "Save Scrawlet")));
        EXPECT_NE(textOf(layout, "Please select:"), nullptr);
    }
}

// On a pad a sheet or picker points at its source with an arrow in a
// permitted direction, beside the source and within the screen; a click
// outside a sheet cancels it, so it needs no Cancel row.
TEST(PadPopovers, PointAtTheirSourceWithAPermittedArrow) {
    testsupport::PadDevice device;
    ui::View source;
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::popover);
    const std::tuple<std::shared_ptr<ui::ViewController>, graphics::Rect, ui::PopoverArrowDirection,
                     std::size_t>
        cases[] = {
            {testsupport::menuSheet(), {{0, 1120}, {60, 60}}, ui::PopoverArrowDirection::down, 5},
            {picker, {{30, 0}, {40, 40}}, ui::PopoverArrowDirection::up, 0},
        };
    for (const auto& [controller, from, direction, actionCount] : cases) {
        auto* popover = controller->popoverPresentationController();
        ASSERT_NE(popover, nullptr);
        popover->setSourceView(&source);
        popover->setSourceRect(from);
        popover->setPermittedArrowDirections(direction);
        auto layout = ui::layoutPresented(
            *controller, screen({820, 1180}, "/nonexistent", ui::UserInterfaceIdiom::pad));
        EXPECT_EQ(layout.arrowDirection, direction);
        const bool down = direction == ui::PopoverArrowDirection::down;
        EXPECT_DOUBLE_EQ(down ? layout.panel.bottom() : layout.panel.origin.y,
                         down ? from.origin.y - 13 : from.bottom() + 13);
        EXPECT_GE(layout.panel.origin.x, 10);
        EXPECT_LE(layout.panel.bottom(), 1180 - 10);
        auto arrows = shapes<ui::PresentedArrow>(layout);
        ASSERT_EQ(arrows.size(), 1u);
        EXPECT_DOUBLE_EQ(arrows[0]->tip.y, down ? from.origin.y : from.bottom());
        EXPECT_GE(arrows[0]->tip.x, from.origin.x);
        EXPECT_LE(arrows[0]->tip.x, from.right());
        auto actions = withRole(layout, Role::action);
        EXPECT_EQ(actions.size(), actionCount);
        for (const auto* action : actions)
            EXPECT_TRUE(down ? action->rect.bottom() <= from.origin.y
                             : action->rect.origin.y >= from.bottom());
        if (!down) continue;  // the picker keeps its own Cancel
        auto outside = layout.targetAt({700, 600});
        ASSERT_NE(outside, nullptr);
        EXPECT_EQ(outside->role, Role::outside);
        EXPECT_EQ(outside->actionIndex, 5u);
        EXPECT_EQ(&layout.targets.back(), outside);
    }
}

TEST(Alerts, SitInTheMiddleWithCancelBesideTheConfirmingActionOrLast) {
    auto two = ui::layoutPresented(*testsupport::clearAlert(), screen(phone));
    EXPECT_NEAR(two.panel.midX(), 195, 1e-9);
    EXPECT_NEAR(two.panel.midY(), 422, 1e-9);
    auto actions = withRole(two, Role::action);
    ASSERT_EQ(actions.size(), 2u);
    // One row: Cancel on the left, the confirming action on the right.
    EXPECT_EQ(actions[0]->actionIndex, 1u);
    EXPECT_EQ(actions[1]->actionIndex, 0u);
    EXPECT_DOUBLE_EQ(actions[0]->rect.origin.y, actions[1]->rect.origin.y);
    EXPECT_LT(actions[0]->rect.origin.x, actions[1]->rect.origin.x);
    EXPECT_TRUE(bold(textOf(two, "Cancel")));
    // An alert is modal: a click beside it does nothing.
    EXPECT_EQ(two.targetAt({20, 20}), nullptr);

    // Three actions stack, Cancel last, under the title and the message.
    auto alert = testsupport::alertWith(
        ui::AlertControllerStyle::alert, "A message",
        {{"One", Style::defaultStyle}, {"Cancel", Style::cancel}, {"Two", Style::defaultStyle}},
        "Title");
    auto three = ui::layoutPresented(*alert, screen(phone));
    actions = withRole(three, Role::action);
    ASSERT_EQ(actions.size(), 3u);
    const std::size_t order[] = {0, 2, 1};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(actions[i]->actionIndex, order[i]);
        if (i > 0) {
            EXPECT_DOUBLE_EQ(actions[i]->rect.origin.y, actions[i - 1]->rect.bottom());
        }
    }
    EXPECT_TRUE(textOf(three, "Title") && textOf(three, "A message"));
}

TEST(PressedTargets, AreHighlighted) {
    auto sheet = testsupport::menuSheet();
    auto environment = screen(phone);
    auto plain = ui::layoutPresented(*sheet, environment);
    environment.pressedTarget = 2;
    auto pressed = ui::layoutPresented(*sheet, environment);
    ASSERT_EQ(pressed.shapes.size(), plain.shapes.size() + 1);
    bool highlighted = false;
    for (const auto* fill : shapes<ui::PresentedFill>(pressed))
        highlighted = highlighted || fill->rect == pressed.targets[2].rect;
    EXPECT_TRUE(highlighted);
}

// The picker lists the pictures of its folder by name, leaving out files
// that are no pictures whatever their names, and says which folder it
// shows (from home as ~), also when it is empty or missing.
TEST(ImagePickers, ListTheFoldersPicturesByNameAndSayWhichFolder) {
    auto home = testsupport::freshDirectory("home");
    auto pictures = home / "Pictures";
    std::filesystem::create_directories(pictures);
    const char* previousHome = std::getenv("HOME");
    std::string savedHome = previousHome ? previousHome : "";
    ::setenv("HOME", home.c_str(), 1);
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto shows = [&](const ui::PresentedLayout& layout, const char* text) {
        return textOf(layout, text) != nullptr;
    };
    auto empty = ui::layoutPresented(*picker, screen(phone, pictures));
    EXPECT_TRUE(shows(empty, "~/Pictures"));
    EXPECT_TRUE(shows(empty, "No Photos"));
    EXPECT_TRUE(withRole(empty, Role::pickFile).empty());

    for (const char* name : {"c.png", "a.PNG", "b.jpg"}) testsupport::writePicture(pictures / name);
    std::ofstream(pictures / "fake.jpg") << "not a picture at all";
    std::ofstream(pictures / "empty.png");
    std::ofstream(pictures / "notes.txt") << "notes";
    auto layout = ui::layoutPresented(*picker, screen(phone, pictures));
    EXPECT_TRUE(shows(layout, "~/Pictures"));
    EXPECT_FALSE(shows(layout, "No Photos"));
    auto picks = withRole(layout, Role::pickFile);
    ASSERT_EQ(picks.size(), 3u);
    auto thumbnails = shapes<ui::PresentedThumbnail>(layout);
    ASSERT_EQ(thumbnails.size(), 3u);
    const char* byName[] = {"a.PNG", "b.jpg", "c.png"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(picks[i]->file.filename(), byName[i]);
        // Each thumbnail is drawn where its target is.
        EXPECT_EQ(thumbnails[i]->rect, picks[i]->rect);
        EXPECT_EQ(thumbnails[i]->file, picks[i]->file);
    }
    auto cancel = withRole(layout, Role::cancelPicker);
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_LT(cancel[0]->rect.origin.y, picks[0]->rect.origin.y);

    auto elsewhere = ui::layoutPresented(*picker, screen(phone, "/srv/photos"));
    EXPECT_TRUE(shows(elsewhere, "/srv/photos"));
    EXPECT_TRUE(withRole(elsewhere, Role::pickFile).empty());
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(ImagePickers, ScrollByWholeRowsWithinTheLibrary) {
    auto library = testsupport::freshDirectory("picker-scroll");
    std::vector<std::string> names;
    for (int i = 0; i < 90; ++i) {
        names.push_back("photo" + std::to_string(100 + i) + ".png");
        testsupport::writePicture(library / names.back());
    }
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto environment = screen(phone, library);
    auto top = ui::layoutPresented(*picker, environment);
    EXPECT_EQ(top.pickerRowCount, 23u);
    ASSERT_GT(top.pickerVisibleRows, 0u);
    ASSERT_LT(top.pickerVisibleRows, top.pickerRowCount);
    environment.pickerFirstRow = 1000;
    auto end = ui::layoutPresented(*picker, environment);
    auto picks = withRole(end, Role::pickFile);
    ASSERT_FALSE(picks.empty());
    std::size_t firstShown = (top.pickerRowCount - top.pickerVisibleRows) * 4;
    EXPECT_EQ(picks.front()->file.filename(), names[firstShown]);
    EXPECT_EQ(picks.back()->file.filename(), names.back());
    for (const auto* pick : picks) EXPECT_LE(pick->rect.bottom(), 844);
}

TEST(ShareSheets, PreviewThePictureAboveSaveAndCancel) {
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(390, 814));
    auto share = testsupport::shareSheet(image);
    auto layout = ui::layoutPresented(*share, screen(phone));
    auto save = withRole(layout, Role::saveToPictures);
    auto cancel = withRole(layout, Role::cancelShare);
    ASSERT_EQ(save.size(), 1u);
    // The Cancel button, then the rest of the screen, which also cancels.
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_EQ(layout.targets.back().role, Role::outside);
    EXPECT_EQ(layout.targets.back().rect, (graphics::Rect{{0, 0}, phone}));
    EXPECT_LT(save[0]->rect.bottom(), cancel[0]->rect.origin.y);
    auto previews = shapes<ui::PresentedPicture>(layout);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews[0]->image, image);
    EXPECT_NEAR(previews[0]->rect.width() / previews[0]->rect.height(), 390.0 / 814.0, 1e-9);
    EXPECT_LT(previews[0]->rect.bottom(), save[0]->rect.origin.y);
    EXPECT_NE(textOf(layout, "Picture"), nullptr);
}

TEST(Panels, SpeakTheUsersLanguage) {
    const std::tuple<const char*, const char*, const char*, const char*> languages[] = {
        {"en-US", "Photos", "Save to Pictures", "Cancel"},
        {"zh-Hans-CN", "照片", "存到图片文件夹", "取消"},
        {"zh-Hant-TW", "照片", "存到圖片檔案夾", "取消"},
        {"zh-HK", "照片", "存到圖片檔案夾", "取消"},
    };
    auto picture = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(4, 4));
    for (const auto& [language, photos, save, cancel] : languages) {
        testsupport::PlatformScope speaking(
            testsupport::changed([&](auto& d) { d.languages = {language}; }));
        auto picker = ui::layoutPresented(*std::make_shared<ui::ImagePickerController>(),
                                          screen(phone, "/nonexistent"));
        auto share = ui::layoutPresented(*testsupport::shareSheet(picture), screen(phone));
        for (auto [layout, text] : {std::pair{&picker, photos}, std::pair{&picker, cancel},
                                    std::pair{&share, save}, std::pair{&share, cancel}})
            EXPECT_NE(textOf(*layout, text), nullptr) << language << ": " << text;
    }
}

bool inside(const graphics::Rect& inner, const graphics::Rect& outer) {
    const double slack = 0.5;
    return inner.origin.x >= outer.origin.x - slack && inner.origin.y >= outer.origin.y - slack &&
           inner.right() <= outer.right() + slack && inner.bottom() <= outer.bottom() + slack;
}

// Every presented screen fits the smallest window and a phone held either
// way: its panel and everything on it on the screen, every button tall
// enough to take a finger.
TEST(Panels, FitEveryScreenFromTheSmallestWindowUp) {
    auto library = testsupport::freshDirectory("fit-library");
    for (int i = 0; i < 30; ++i)
        testsupport::writePicture(library / ("p" + std::to_string(i) + ".png"));
    std::string help;
    for (int i = 0; i < 14; ++i)
        help += "Ctrl+Key " + std::to_string(i) + ": does something useful\n";
    auto shared = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(390, 814));
    auto make = [&](const std::string& name) -> std::shared_ptr<ui::ViewController> {
        const auto alert = ui::AlertControllerStyle::alert;
        if (name == "menu") return testsupport::menuSheet();
        if (name == "help") return testsupport::alertWith(alert, help, {{"OK", Style::cancel}});
        if (name == "quit")
            return testsupport::alertWith(alert, "Save the drawing before quitting?",
                                          {{"Save", Style::defaultStyle},
                                           {"Don't Save", Style::destructive},
                                           {"Cancel", Style::cancel}});
        if (name == "share") return testsupport::shareSheet(shared);
        auto picker = std::make_shared<ui::ImagePickerController>();
        if (name == "camera") picker->setSourceType(ui::ImagePickerSourceType::camera);
        return picker;
    };
    const graphics::Size sizes[] = {{320, 480}, {480, 320}, phone, {844, 390}, {1024, 768}};
    for (auto idiom : {ui::UserInterfaceIdiom::phone, ui::UserInterfaceIdiom::pad}) {
        testsupport::PlatformScope device(testsupport::changed([&](auto& d) { d.idiom = idiom; }));
        for (auto size : sizes) {
            for (std::string name : {"menu", "help", "quit", "picker", "camera", "share"}) {
                auto controller = make(name);
                // Anchored at the menu button, as the program anchors them.
                if (auto* popover = controller->popoverPresentationController()) {
                    static ui::View anchor;
                    popover->setSourceView(&anchor);
                    popover->setSourceRect({{0, size.height - 60}, {60, 60}});
                    popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
                }
                auto layout = ui::layoutPresented(*controller, screen(size, library, idiom));
                SCOPED_TRACE(name + " at " + std::to_string(int(size.width)) + "x" +
                             std::to_string(int(size.height)) +
                             (idiom == ui::UserInterfaceIdiom::pad ? " on a pad" : ""));
                const graphics::Rect whole{{0, 0}, size};
                EXPECT_TRUE(inside(layout.panel, whole));
                // A popover holds all it shows; a phone's sheet may set its
                // Cancel apart, below the panel.
                const graphics::Rect& holder = layout.arrowDirection ? layout.panel : whole;
                for (const auto& target : layout.targets) {
                    if (target.role == Role::outside) continue;
                    EXPECT_TRUE(inside(target.rect, holder));
                    EXPECT_GE(target.rect.height(), 30);
                }
                for (const auto* text : shapes<ui::PresentedText>(layout))
                    EXPECT_TRUE(inside(text->rect, holder)) << text->text.substr(0, 30);
            }
        }
    }
}

}  // namespace
