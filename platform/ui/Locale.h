// The user's preferred languages as language tags (zh-Hans-CN, en-US), most
// preferred first: the launch description's, or else from the POSIX locale
// environment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Locale {
public:
    // Never empty.
    static std::vector<std::string> preferredLanguages();
};

// A language tag as a browser or a person writes it, in its canonical form:
// the language in lower case, a script in title case, a region in upper
// case (zh-hans-cn and ZH-HANS-CN give zh-Hans-CN), and Chinese named by
// its region given its script, as a phone names it (zh-CN and zh-SG give
// zh-Hans-CN and zh-Hans-SG, zh-TW and zh-MO zh-Hant-TW and zh-Hant-MO;
// zh-HK stays). Underscores read as dashes. C, POSIX, an empty tag and
// one that is no language tag give none.
std::optional<std::string> canonicalLanguageTag(std::string_view tag);

// One POSIX locale name (zh_CN.UTF-8, en_US, C) as a language tag: zh_CN
// gives zh-Hans-CN, zh_TW zh-Hant-TW, zh_HK zh-HK, en_US.UTF-8 en-US; C and
// POSIX give none.
std::optional<std::string> languageTagFromPosixLocale(std::string_view locale);

// The languages the environment asks for, by the usual precedence:
// LANGUAGE (a colon-separated list, unless the locale is C), then the first
// set of LC_ALL, LC_MESSAGES and LANG. `getenv` is passed in for tests.
std::vector<std::string> languagesFromEnvironment(const char* (*getenv)(const char*));

}  // namespace ui
