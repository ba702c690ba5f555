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
