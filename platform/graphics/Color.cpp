#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace graphics {

std::string colorName(const Color& color) {
    if (color == Color::black()) return "black";
    if (color == Color::white()) return "white";
    if (color == Color::clear()) return "clear";
    auto byte = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", byte(color.red), byte(color.green),
                  byte(color.blue), byte(color.alpha));
    return text;
}

}  // namespace graphics
