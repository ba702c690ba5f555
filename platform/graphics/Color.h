// Colours as the application framework hands them around: red, green, blue
// and alpha between 0 and 1, not premultiplied.
#pragma once

#include <string>

namespace graphics {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static Color black() { return {0, 0, 0, 1}; }
    static Color white() { return {1, 1, 1, 1}; }
    static Color clear() { return {0, 0, 0, 0}; }
    static Color red_() { return {1, 0, 0, 1}; }

    friend bool operator==(const Color&, const Color&) = default;
};

// "black", "white" and "clear" for the colours that have those names, and
// "#rrggbbaa" for any other; used where state is written out as text.
std::string colorName(const Color& color);

}  // namespace graphics
