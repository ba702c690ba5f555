#include "platform/ui/PhotoLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <system_error>

#include "platform/graphics/PictureFiles.h"

namespace ui {

namespace {
bool hasPictureName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg" || extension == ".png";
}

// Whether the file starts as a JPEG or PNG does; a file that does not is no
// picture whatever its name says, and is left out rather than shown blank.
bool startsLikeAPicture(const std::filesystem::path& path) {
    std::uint8_t head[8] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head), sizeof head);
    std::span<const std::uint8_t> bytes(head, static_cast<std::size_t>(in.gcount()));
    return graphics::pictures::hasJpegSignature(bytes) ||
           graphics::pictures::hasPngSignature(bytes);
}
}  // namespace

std::vector<std::filesystem::path> photoLibraryFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    if (folder.empty()) return files;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && hasPictureName(it->path()) &&
            startsLikeAPicture(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.filename().string() < b.filename().string();
    });
    return files;
}

}  // namespace ui
