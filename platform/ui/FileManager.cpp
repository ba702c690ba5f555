#include "platform/ui/FileManager.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/Precondition.h"
#include "platform/ui/Environment.h"

namespace ui {

namespace {
std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}
}  // namespace

std::filesystem::path xdgUserDirectory(const char* kind) {
    std::filesystem::path config;
    if (const char* dir = std::getenv("XDG_CONFIG_HOME"); dir && *dir)
        config = dir;
    else
        config = homeDirectory() / ".config";
    std::string key = std::string("XDG_") + kind + "_DIR=";
    std::ifstream dirs(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            return homeDirectory() / value.substr(value.size() > 5 ? 6 : 5);
        if (!value.empty() && value.front() == '/') return value;
    }
    std::string fallback = kind;
    if (fallback == "DOCUMENTS") return homeDirectory() / "Documents";
    if (fallback == "PICTURES") return homeDirectory() / "Pictures";
    return homeDirectory();
}

FileManager& FileManager::defaultManager() {
    return environment("FileManager::defaultManager").fileManager();
}

std::vector<std::filesystem::path> FileManager::urlsForDirectory(SearchPathDirectory directory,
                                                                 SearchPathDomainMask) const {
    switch (directory) {
        case SearchPathDirectory::documentDirectory: {
            const auto& documents = currentLaunchDescription().documents;
            if (!documents) return {};
            // The documents directory is the application's own and always
            // there; a failure to make it shows later, when a file is written.
            std::error_code ignored;
            std::filesystem::create_directories(*documents, ignored);
            return {*documents};
        }
        case SearchPathDirectory::picturesDirectory: {
            const auto& pictures = currentLaunchDescription().picturesFolder;
            if (pictures.empty()) return {};
            return {pictures};
        }
    }
    platform::unreachable("urlsForDirectory");
}

}  // namespace ui
