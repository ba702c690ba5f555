// The framework's own panels as a user reads them: the picker's folder and
// its pictures, and the panels' words in the user's language.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/ui/PhotoLibrary.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/PresentedLayout.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

std::vector<std::string> textsOf(const ui::PresentedLayout& layout) {
    std::vector<std::string> texts;
    for (const auto& shape : layout.shapes)
        if (auto* text = std::get_if<ui::PresentedText>(&shape)) texts.push_back(text->text);
    return texts;
}

bool shows(const ui::PresentedLayout& layout, const std::string& text) {
    auto texts = textsOf(layout);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

ui::PresentedEnvironment phoneShowing(const std::filesystem::path& library) {
    ui::PresentedEnvironment environment;
    environment.screenSize = {390, 844};
    environment.photoLibrary = library;
    return environment;
}

void writePicture(const std::filesystem::path& file) {
    auto png = graphics::backend().encodePng(graphics::Bitmap(2, 2));
    ASSERT_TRUE(png && platform::writeFileAtomically(file, png.value()));
}

TEST(PhotoLibrary, LeavesOutFilesThatAreNoPicturesWhateverTheirNames) {
    auto folder = testsupport::freshDirectory("library");
    writePicture(folder / "real.png");
    std::ofstream(folder / "fake.jpg") << "not a picture at all";
    std::ofstream(folder / "empty.png");
    std::ofstream(folder / "notes.txt") << "notes";
    auto files = ui::photoLibraryFiles(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "real.png");
}

TEST(ImagePickers, SayWhichFolderTheyShowAlsoWhenItIsEmpty) {
    auto home = testsupport::freshDirectory("home");
    std::filesystem::create_directories(home / "Pictures");
    const char* previousHome = std::getenv("HOME");
    std::string savedHome = previousHome ? previousHome : "";
    ::setenv("HOME", home.c_str(), 1);
    auto picker = std::make_shared<ui::ImagePickerController>();
    auto empty = ui::layoutPresented(*picker, phoneShowing(home / "Pictures"));
    EXPECT_TRUE(shows(empty, "~/Pictures"));
    EXPECT_TRUE(shows(empty, "No Photos"));
    writePicture(home / "Pictures" / "one.png");
    auto one = ui::layoutPresented(*picker, phoneShowing(home / "Pictures"));
    EXPECT_TRUE(shows(one, "~/Pictures"));
    EXPECT_FALSE(shows(one, "No Photos"));
    auto elsewhere = ui::layoutPresented(*picker, phoneShowing("/srv/photos"));
    EXPECT_TRUE(shows(elsewhere, "/srv/photos"));
    ::setenv("HOME", savedHome.c_str(), 1);
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
        ui::LaunchScope speaking(testsupport::changed([&](auto& d) { d.languages = {language}; }));
        auto picker = std::make_shared<ui::ImagePickerController>();
        auto pickerLayout = ui::layoutPresented(*picker, phoneShowing("/nonexistent"));
        EXPECT_TRUE(shows(pickerLayout, photos)) << language;
        EXPECT_TRUE(shows(pickerLayout, cancel)) << language;
        auto share = std::make_shared<ui::ActivityViewController>(
            std::vector<ui::ActivityItem>{std::string("Picture"), picture},
            std::vector<std::string>{});
        auto shareLayout = ui::layoutPresented(*share, phoneShowing("/nonexistent"));
        EXPECT_TRUE(shows(shareLayout, save)) << language;
        EXPECT_TRUE(shows(shareLayout, cancel)) << language;
    }
}

}  // namespace

namespace {

std::shared_ptr<ui::AlertController> alertWith(ui::AlertControllerStyle style, std::string message,
                                               std::vector<ui::AlertActionStyle> actions) {
    auto alert = ui::AlertController::alertControllerWithTitle(std::nullopt, message, style);
    for (std::size_t i = 0; i < actions.size(); ++i)
        alert->addAction(
            ui::AlertAction::actionWithTitle("Action " + std::to_string(i), actions[i], nullptr));
    return alert;
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
    using Style = ui::AlertActionStyle;
    auto library = testsupport::freshDirectory("fit-library");
    for (int i = 0; i < 30; ++i) writePicture(library / ("p" + std::to_string(i) + ".png"));
    std::string help;
    for (int i = 0; i < 14; ++i)
        help += "Ctrl+Key " + std::to_string(i) + ": does something useful\n";
    auto shared = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(390, 814));
    const std::vector<std::pair<const char*, std::function<std::shared_ptr<ui::ViewController>()>>>
        screens{
            {"menu",
             [] {
                 return alertWith(ui::AlertControllerStyle::actionSheet, "Please select:",
                                  {Style::defaultStyle, Style::defaultStyle, Style::destructive,
                                   Style::defaultStyle, Style::defaultStyle, Style::cancel});
             }},
            {"help",
             [&] { return alertWith(ui::AlertControllerStyle::alert, help, {Style::cancel}); }},
            {"quit",
             [] {
                 return alertWith(ui::AlertControllerStyle::alert, "Save the drawing?",
                                  {Style::defaultStyle, Style::destructive, Style::cancel});
             }},
            {"picker", [] { return std::make_shared<ui::ImagePickerController>(); }},
            {"camera",
             [] {
                 auto camera = std::make_shared<ui::ImagePickerController>();
                 camera->setSourceType(ui::ImagePickerSourceType::camera);
                 return camera;
             }},
            {"share",
             [&] {
                 return std::make_shared<ui::ActivityViewController>(
                     std::vector<ui::ActivityItem>{std::string("Picture"), shared},
                     std::vector<std::string>{});
             }},
        };
    const graphics::Size sizes[] = {{320, 480}, {480, 320}, {390, 844}, {844, 390}, {1024, 768}};
    for (auto idiom : {ui::UserInterfaceIdiom::phone, ui::UserInterfaceIdiom::pad}) {
        ui::LaunchScope device(testsupport::changed([&](auto& d) { d.idiom = idiom; }));
        for (auto size : sizes) {
            for (const auto& [name, make] : screens) {
                auto controller = make();
                // Anchored at the menu button, as the program anchors them.
                if (auto* popover = controller->popoverPresentationController()) {
                    static ui::View anchor;
                    popover->setSourceView(&anchor);
                    popover->setSourceRect({{0, size.height - 60}, {60, 60}});
                    popover->setPermittedArrowDirections(ui::PopoverArrowDirection::down);
                }
                ui::PresentedEnvironment environment;
                environment.screenSize = size;
                environment.idiom = idiom;
                environment.photoLibrary = library;
                auto layout = ui::layoutPresented(*controller, environment);
                std::string where = std::string(name) + " at " + std::to_string(int(size.width)) +
                                    "x" + std::to_string(int(size.height)) +
                                    (idiom == ui::UserInterfaceIdiom::pad ? " on a pad" : "");
                const graphics::Rect screen{{0, 0}, size};
                EXPECT_TRUE(inside(layout.panel, screen)) << where;
                // A popover holds all it shows; a phone's sheet may set its
                // Cancel apart, below the panel.
                const graphics::Rect& holder = layout.arrowDirection ? layout.panel : screen;
                for (const auto& target : layout.targets) {
                    if (target.role == ui::PresentedTargetRole::outside) continue;
                    EXPECT_TRUE(inside(target.rect, holder)) << where;
                    EXPECT_GE(target.rect.height(), 30) << where;
                }
                for (const auto& shape : layout.shapes) {
                    if (auto* text = std::get_if<ui::PresentedText>(&shape)) {
                        EXPECT_TRUE(inside(text->rect, holder))
                            << where << ": " << text->text.substr(0, 30);
                    }
                }
            }
        }
    }
}

}  // namespace
