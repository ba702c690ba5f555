// The window's icon: the application's own picture from its resources, as
// an SDL surface.
#pragma once

#include <SDL.h>

#include <memory>

#include "platform/graphics/Backend.h"

namespace desktop {

struct SurfaceRelease {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceRelease>;

// The icon decoded with `graphics`, or none when it cannot be read.
Surface loadIcon(graphics::Backend& graphics);

}  // namespace desktop
