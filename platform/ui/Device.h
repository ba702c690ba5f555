// The device the program runs on: its screen, what kind of device it is,
// and which picture sources it has. The front end fills this in before
// launch; the headless one from its script.
#pragma once

#include <filesystem>

#include "platform/graphics/Geometry.h"

namespace ui {

enum class UserInterfaceIdiom { phone = 0, pad = 1 };

struct Device {
    UserInterfaceIdiom userInterfaceIdiom = UserInterfaceIdiom::phone;
    bool hasCamera = false;
    // The pictures the photo library shows.
    std::filesystem::path photoLibrary;

    static Device& current();
};

class Screen {
public:
    static Screen& main();
    // Pixels per point.
    double scale() const;
    void setScale(double scale);
    graphics::Rect bounds() const { return bounds_; }
    void setBounds(graphics::Rect bounds) { bounds_ = bounds; }

private:
    graphics::Rect bounds_{{0, 0}, {390, 844}};
};

}  // namespace ui
