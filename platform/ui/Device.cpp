#include "platform/ui/Device.h"

#include <cmath>

#include "platform/Precondition.h"
#include "platform/ui/Environment.h"

namespace ui {

Screen& Screen::main() { return environment("Screen::main").screen(); }

double Screen::scale() const { return graphics_.screenScale; }

void Screen::setScale(double scale) {
    platform::require(scale > 0 && std::isfinite(scale), "Screen::setScale",
                      "the scale must be positive");
    graphics_.screenScale = scale;
}

}  // namespace ui
