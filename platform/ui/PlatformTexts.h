// The platform's own words (the picker, the share sheet, the problems it
// reports, the desktop's help and its question on quitting) in the user's
// language: English, or simplified or traditional Chinese, by the rule the
// application's own texts follow.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

enum class TextLanguage { english, simplifiedChinese, traditionalChinese };

// The language a language tag asks for: simplified Chinese for a tag with
// "zh-Hans", traditional for "zh-Hant" or "zh-HK" (case-sensitive, searched
// in that order), English otherwise.
TextLanguage textLanguageOf(std::string_view languageTag);

struct PlatformTexts {
    std::string photos;
    std::string noPhotos;
    std::string cancel;
    std::string ok;
    std::string saveToPictures;
    std::string pictureCannotBeUsed;
    std::string pictureNotSaved;
    // The desktop's help panel.
    std::string keys;
    std::string close;
    // The desktop's question when the window closes with unsaved changes.
    std::string saveBeforeQuitting;
    std::string save;
    std::string dontSave;
    // What a screen reader calls the camera's picker, its shutter and the
    // share sheet, none of which shows its name.
    std::string camera;
    std::string takePicture;
    std::string share;
};

const PlatformTexts& platformTexts(TextLanguage language);
// In the user's most preferred language.
const PlatformTexts& platformTexts();

}  // namespace ui
