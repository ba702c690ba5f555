#include "platform/ui/Touch.h"

#include "platform/ui/View.h"

namespace ui {

graphics::Point Touch::locationInView(const View* view) const {
    if (view == nullptr) return location_;
    auto origin = view->frame().origin;
    return {location_.x - origin.x, location_.y - origin.y};
}

}  // namespace ui
