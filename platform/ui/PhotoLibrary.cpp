#include "platform/ui/PhotoLibrary.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

namespace ui {

namespace {
bool isPictureFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg" || extension == ".png";
}
}  // namespace

std::vector<std::filesystem::path> photoLibraryFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    if (folder.empty()) return files;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && isPictureFile(it->path())) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.filename().string() < b.filename().string();
    });
    return files;
}

}  // namespace ui
