// The screen the program runs on and the kinds of device. What the device
// has and is comes from the launch description (LaunchDescription.h); the
// screen's bounds follow the window as it changes size.
#pragma once

#include "platform/graphics/Geometry.h"

namespace graphics {
struct Context;
}

namespace ui {

enum class UserInterfaceIdiom { phone = 0, pad = 1 };

class Screen {
public:
    // The main screen of the application environment in force on this
    // thread (Environment.h).
    static Screen& main();

    explicit Screen(graphics::Context& graphics) : graphics_(graphics) {}
    // Pixels per point.
    double scale() const;
    // A window moved to a screen of another density changes it.
    void setScale(double scale);
    graphics::Rect bounds() const { return bounds_; }
    void setBounds(graphics::Rect bounds) { bounds_ = bounds; }

private:
    // The image contexts read the same scale when given scale 0.
    graphics::Context& graphics_;
    graphics::Rect bounds_{{0, 0}, {390, 844}};
};

}  // namespace ui
