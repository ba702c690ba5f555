#include "platform/ui/Locale.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/ui/LaunchDescription.h"

namespace ui {

namespace {
std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool isCLocale(std::string_view locale) {
    auto base = locale.substr(0, locale.find_first_of(".@"));
    return base == "C" || base == "POSIX";
}

const char* environment(const char* name) { return std::getenv(name); }
}  // namespace

std::optional<std::string> languageTagFromPosixLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || isCLocale(locale)) return std::nullopt;
    auto underscore = locale.find('_');
    std::string language = lower(locale.substr(0, underscore));
    if (language.empty()) return std::nullopt;
    std::string territory =
        underscore == std::string_view::npos ? "" : upper(locale.substr(underscore + 1));
    if (territory.empty()) return language;
    if (language == "zh") {
        // A phone names the script for Chinese, except for Hong Kong.
        if (territory == "CN" || territory == "SG") return "zh-Hans-" + territory;
        if (territory == "TW" || territory == "MO") return "zh-Hant-" + territory;
    }
    return language + "-" + territory;
}

std::vector<std::string> languagesFromEnvironment(const char* (*getenv)(const char*)) {
    auto value = [&](const char* name) -> std::string_view {
        const char* v = getenv(name);
        return v ? std::string_view(v) : std::string_view();
    };
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!value(name).empty()) {
            locale = value(name);
            break;
        }
    }
    std::vector<std::string> languages;
    auto add = [&](std::string_view entry) {
        if (auto tag = languageTagFromPosixLocale(entry);
            tag && std::find(languages.begin(), languages.end(), *tag) == languages.end())
            languages.push_back(*tag);
    };
    // As gettext does, LANGUAGE is ignored when the locale is C.
    std::string_view list = value("LANGUAGE");
    if (!list.empty() && !locale.empty() && !isCLocale(locale)) {
        while (!list.empty()) {
            auto colon = list.find(':');
            add(list.substr(0, colon));
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
    }
    if (languages.empty()) add(locale);
    if (languages.empty()) languages.push_back("en-US");
    return languages;
}

std::vector<std::string> Locale::preferredLanguages() {
    const auto& chosen = currentLaunchDescription().languages;
    if (!chosen.empty()) return chosen;
    return languagesFromEnvironment(environment);
}

}  // namespace ui
