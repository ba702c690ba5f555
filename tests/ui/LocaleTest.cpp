// Which languages the user prefers, from the locale environment or the
// launch description.
#include <gtest/gtest.h>

#include <map>

#include "platform/ui/Locale.h"
#include "platform/ui/PlatformTexts.h"
#include "support/Fixtures.h"

namespace {

// Chinese locales name their script, except Hong Kong's; others become
// language and region; C and POSIX give none.
TEST(LanguageTags, ComeFromPosixLocales) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"zh_CN", "zh-Hans-CN"},  {"zh_CN.UTF-8", "zh-Hans-CN"}, {"zh_SG", "zh-Hans-SG"},
        {"zh_TW", "zh-Hant-TW"},  {"zh_MO.UTF-8", "zh-Hant-MO"}, {"zh_HK", "zh-HK"},
        {"en_US.UTF-8", "en-US"}, {"de_AT@euro", "de-AT"},       {"fr", "fr"},
        {"C", std::nullopt},      {"C.UTF-8", std::nullopt},     {"POSIX", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [locale, tag] : cases)
        EXPECT_EQ(ui::languageTagFromPosixLocale(locale), tag) << locale;
}

// Tags as browsers and people write them come out in one form: script
// in title case, region in upper case, and Chinese named by its script;
// C, POSIX, an empty tag and what is no tag give none.
TEST(LanguageTags, AreMadeCanonical) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"zh-Hans", "zh-Hans"},
        {"zh-HANS", "zh-Hans"},
        {"zh-hans-cn", "zh-Hans-CN"},
        {"ZH-HANS-CN", "zh-Hans-CN"},
        {"zh-Hant", "zh-Hant"},
        {"zh-HANT-tw", "zh-Hant-TW"},
        {"zh-CN", "zh-Hans-CN"},
        {"zh-sg", "zh-Hans-SG"},
        {"zh-TW", "zh-Hant-TW"},
        {"zh-MO", "zh-Hant-MO"},
        {"zh-HK", "zh-HK"},
        {"zh-hk", "zh-HK"},
        {"zh", "zh"},
        {"EN-us", "en-US"},
        {"en", "en"},
        {"es-419", "es-419"},
        {"sr-latn-rs", "sr-Latn-RS"},
        {"zh_TW", "zh-Hant-TW"},
        {" en-GB ", "en-GB"},
        {"C", std::nullopt},
        {"c", std::nullopt},
        {"POSIX", std::nullopt},
        {"C.UTF-8", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"en--US", std::nullopt},
        {"en US", std::nullopt},
        {"1234", std::nullopt},
        {"e", std::nullopt},
        {"en-toolongsubtag", std::nullopt},
        {"zh-Hans;q=0.9", std::nullopt},
    };
    for (const auto& [tag, canonical] : cases)
        EXPECT_EQ(ui::canonicalLanguageTag(tag), canonical) << '"' << tag << '"';
}

// What the texts then read: a canonical tag of either script gives that
// script's texts, whatever case the browser wrote.
TEST(LanguageTags, CanonicalTagsChooseTheTexts) {
    const std::pair<const char*, ui::TextLanguage> cases[] = {
        {"zh-hans", ui::TextLanguage::simplifiedChinese},
        {"ZH-HANS-CN", ui::TextLanguage::simplifiedChinese},
        {"zh-CN", ui::TextLanguage::simplifiedChinese},
        {"zh-SG", ui::TextLanguage::simplifiedChinese},
        {"zh-hant", ui::TextLanguage::traditionalChinese},
        {"zh-Hant-TW", ui::TextLanguage::traditionalChinese},
        {"zh-TW", ui::TextLanguage::traditionalChinese},
        {"zh-hk", ui::TextLanguage::traditionalChinese},
        {"zh-MO", ui::TextLanguage::traditionalChinese},
        {"en-US", ui::TextLanguage::english},
    };
    for (const auto& [tag, language] : cases)
        EXPECT_EQ(ui::textLanguageOf(ui::canonicalLanguageTag(tag).value()), language) << tag;
}

// The environment the next call of `fakeEnvironment` reads.
std::map<std::string, std::string> environment;
const char* fakeEnvironment(const char* name) {
    auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
}

std::vector<std::string> languagesFor(std::map<std::string, std::string> values) {
    environment = std::move(values);
    return ui::languagesFromEnvironment(fakeEnvironment);
}

// LC_ALL, then LC_MESSAGES, then LANG; LANGUAGE lists several, but (as
// with gettext) not under the C locale; empty or C locales give English.
TEST(PreferredLanguages, FollowTheUsualPrecedence) {
    using Languages = std::vector<std::string>;
    const std::pair<std::map<std::string, std::string>, Languages> cases[] = {
        {{{"LANG", "zh_TW.UTF-8"}}, {"zh-Hant-TW"}},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}}, {"zh-Hans-CN"}},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}, {"LC_ALL", "zh_HK.UTF-8"}},
         {"zh-HK"}},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "zh_CN:en_GB"}}, {"zh-Hans-CN", "en-GB"}},
        {{}, {"en-US"}},
        {{{"LANG", ""}}, {"en-US"}},
        {{{"LANG", "C"}}, {"en-US"}},
        {{{"LC_ALL", "POSIX"}}, {"en-US"}},
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "zh_CN"}}, {"en-US"}},
    };
    for (const auto& [values, expected] : cases) EXPECT_EQ(languagesFor(values), expected);
}

TEST(PreferredLanguages, TheLaunchDescriptionsReplaceTheEnvironments) {
    {
        testsupport::PlatformScope chosen(testsupport::changed([](auto& d) {
            d.languages = {"zh-Hant-TW", "en-US"};
        }));
        EXPECT_EQ(ui::Locale::preferredLanguages(),
                  (std::vector<std::string>{"zh-Hant-TW", "en-US"}));
    }
    EXPECT_FALSE(ui::Locale::preferredLanguages().empty());
}

}  // namespace
