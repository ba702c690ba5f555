// Where the user's files live: the folders the launch description names.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace ui {

enum class SearchPathDirectory { documentDirectory = 9, picturesDirectory = 19 };
enum class SearchPathDomainMask { userDomain = 1 };

class FileManager {
public:
    // The file manager of the application environment in force on this
    // thread (Environment.h).
    static FileManager& defaultManager();

    // The directory's locations, possibly none. The documents directory is
    // created when it does not exist yet.
    std::vector<std::filesystem::path> urlsForDirectory(SearchPathDirectory directory,
                                                        SearchPathDomainMask domain) const;
};

// The XDG user directory of that kind ("DOCUMENTS", "PICTURES"), from
// user-dirs.dirs, else the usual folder in the home directory.
std::filesystem::path xdgUserDirectory(const char* kind);

}  // namespace ui
