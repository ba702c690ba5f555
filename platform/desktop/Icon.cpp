#include "platform/desktop/Icon.h"

#include <cstring>

#include "platform/Files.h"
#include "platform/graphics/Resources.h"

namespace desktop {

namespace {
// Window managers scale it down for title bars and task lists.
constexpr const char* iconFile = "icons/scrawlet-128.png";
constexpr std::size_t maxIconBytes = 1 << 20;
}  // namespace

Surface loadIcon(graphics::Backend& graphics) {
    auto bytes = platform::readFile(graphics::resourceDirectory() / iconFile, maxIconBytes);
    if (!bytes) return nullptr;
    auto image = graphics.decodeImage(bytes.value(), graphics::DecodeLimits{});
    if (!image) return nullptr;
    const auto& bitmap = *image.value()->cgImage();
    // Premultiplied RGBA in memory order, which SDL calls ABGR8888 on a
    // little-endian machine and RGBA32 everywhere.
    Surface surface(SDL_CreateRGBSurfaceWithFormat(0, bitmap.width(), bitmap.height(), 32,
                                                   SDL_PIXELFORMAT_RGBA32));
    if (!surface) return nullptr;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* from =
            bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        auto* to = static_cast<std::uint8_t*>(surface->pixels) +
                   static_cast<std::size_t>(y) * static_cast<std::size_t>(surface->pitch);
        for (int x = 0; x < bitmap.width(); ++x) {
            // SDL wants straight alpha.
            std::uint8_t a = from[4 * x + 3];
            for (int c = 0; c < 3; ++c)
                to[4 * x + c] = a == 0 ? 0 : static_cast<std::uint8_t>(from[4 * x + c] * 255 / a);
            to[4 * x + 3] = a;
        }
    }
    return surface;
}

}  // namespace desktop
