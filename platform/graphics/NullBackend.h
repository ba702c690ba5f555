// A graphics back end that draws nothing and decodes nothing: canvases stay
// transparent, text measures by a simple rule, and pictures are refused. For
// tests of the core that do not look at pixels and need no fonts.
#pragma once

#include <memory>

#include "platform/graphics/Backend.h"

namespace graphics {

std::unique_ptr<Backend> makeNullBackend();

}  // namespace graphics
