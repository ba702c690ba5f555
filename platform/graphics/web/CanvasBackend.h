// The graphics back end in the browser: text, emoji and the framework's
// panels drawn by the browser's Canvas 2D (with the platform's own fonts,
// colour emoji included), pictures decoded and encoded by stb compiled in,
// because the scene-file reader needs its pictures at once.
#pragma once

#include <memory>

#include "platform/graphics/Backend.h"

namespace graphics {

std::unique_ptr<Backend> makeCanvasBackend();

}  // namespace graphics
