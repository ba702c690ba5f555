#include "platform/graphics/Resources.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/ImageContext.h"

#ifndef SCRAWLET_SOURCE_RESOURCES
#define SCRAWLET_SOURCE_RESOURCES "resources"
#endif

namespace graphics {

std::filesystem::path resourceDirectory() {
    if (const char* override = std::getenv("SCRAWLET_RESOURCES"); override && *override)
        return override;
    // Beside the program in a build folder; in share/scrawlet where the
    // program is installed under a prefix.
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        for (auto candidate : {exe.parent_path() / "resources",
                               exe.parent_path().parent_path() / "share/scrawlet/resources"})
            if (std::filesystem::is_directory(candidate, error)) return candidate;
    }
    return SCRAWLET_SOURCE_RESOURCES;
}

std::shared_ptr<const Image> imageNamed(std::string_view name) {
    // Images are shared, as the platform's named images are: one decode per
    // name and scale for the life of the application.
    auto& cache = currentContext().namedImages;
    int wanted = static_cast<int>(std::lround(mainScreenScale()));
    std::string key = std::string(name) + "@" + std::to_string(wanted);
    if (auto it = cache.find(key); it != cache.end()) return it->second;

    std::shared_ptr<const Image> found;
    auto directory = resourceDirectory();
    // The screen's own scale first, then the larger ones, then the smaller.
    int order[] = {wanted, 3, 2, 1};
    for (int scale : order) {
        if (scale < 1 || scale > 3) continue;
        std::string file =
            std::string(name) + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
        auto bytes = platform::readFile(directory / file, 16 << 20);
        if (!bytes) continue;
        auto decoded = backend().decodeImage(bytes.value(), DecodeLimits{});
        if (!decoded) continue;
        found = std::make_shared<Image>(decoded.value()->cgImage(), scale);
        break;
    }
    cache[key] = found;
    return found;
}

}  // namespace graphics
