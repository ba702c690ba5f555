#include "platform/ui/Device.h"

#include "platform/graphics/ImageContext.h"

namespace ui {

Screen& Screen::main() {
    static Screen screen;
    return screen;
}

// The image contexts read the same value when given scale 0.
double Screen::scale() const { return graphics::mainScreenScale(); }
void Screen::setScale(double scale) { graphics::setMainScreenScale(scale); }

}  // namespace ui
