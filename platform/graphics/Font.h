// A font: a family by name and a size in points. The system font and named
// fonts resolve to installed fonts in the graphics back end, with colour
// emoji and Chinese reached through fallback.
#pragma once

#include <string>

namespace graphics {

struct Font {
    // The name the program asked for, such as "Noteworthy-Bold"; empty for
    // the system font.
    std::string name;
    double pointSize = 17;

    static Font systemFont(double size) { return Font{"", size}; }
    static Font named(std::string name, double size) { return Font{std::move(name), size}; }
    bool isSystemFont() const { return name.empty(); }
};

}  // namespace graphics
