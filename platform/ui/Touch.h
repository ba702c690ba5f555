// Touches and events as the application framework delivers them. A touch
// carries its location in window points (origin top-left, y downwards); a
// set of touches iterates in the order the front end delivered them.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace ui {

class View;

enum class TouchPhase { began = 0, moved = 1, stationary = 2, ended = 3, cancelled = 4 };

class Touch {
public:
    explicit Touch(graphics::Point locationInWindow) : location_(locationInWindow) {}

    // The location in `view`'s coordinates; in the window's without a view.
    graphics::Point locationInView(const View* view) const;
    void setLocation(graphics::Point locationInWindow) { location_ = locationInWindow; }
    TouchPhase phase() const { return phase_; }
    void setPhase(TouchPhase phase) { phase_ = phase; }

private:
    graphics::Point location_;
    TouchPhase phase_ = TouchPhase::began;
};

using TouchSet = std::vector<std::shared_ptr<Touch>>;

enum class EventType { touches = 0, motion = 1 };
enum class EventSubtype { none = 0, motionShake = 1 };

struct Event {
    EventType type = EventType::touches;
    EventSubtype subtype = EventSubtype::none;
};

}  // namespace ui
