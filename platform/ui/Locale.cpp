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

std::optional<std::string> canonicalLanguageTag(std::string_view tag) {
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.front())))
        tag.remove_prefix(1);
    while (!tag.empty() && std::isspace(static_cast<unsigned char>(tag.back())))
        tag.remove_suffix(1);
    if (tag.empty() || isCLocale(upper(tag))) return std::nullopt;
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        auto end = tag.find_first_of("-_", start);
        std::string part =
            lower(tag.substr(start, end == std::string_view::npos ? end : end - start));
        bool alphanumeric =
            !part.empty() && part.size() <= 8 && std::all_of(part.begin(), part.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) != 0;
            });
        if (!alphanumeric) return std::nullopt;
        parts.push_back(std::move(part));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    const std::string& language = parts.front();
    bool letters =
        std::all_of(language.begin(), language.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    if (!letters || language.size() < 2 || language.size() > 8) return std::nullopt;
    std::string script, region;
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        bool allLetters =
            std::all_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        bool allDigits =
            std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (i == 1 && part.size() == 4 && allLetters) {
            script = part;
            script[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(script[0])));
        } else if (region.empty() && rest.empty() &&
                   ((part.size() == 2 && allLetters) || (part.size() == 3 && allDigits))) {
            region = upper(part);
        } else {
            rest.push_back(part);
        }
    }
    // A phone names the script for Chinese, except for Hong Kong.
    if (language == "zh" && script.empty()) {
        if (region == "CN" || region == "SG") script = "Hans";
        if (region == "TW" || region == "MO") script = "Hant";
    }
    std::string canonical = language;
    for (const std::string* part : {&script, &region})
        if (!part->empty()) canonical += "-" + *part;
    for (const auto& part : rest) canonical += "-" + part;
    return canonical;
}

std::optional<std::string> languageTagFromPosixLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    return canonicalLanguageTag(locale.substr(0, locale.find_first_of(".@")));
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
