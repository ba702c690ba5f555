// Views and windows: rectangles on the screen in points. Views of ours sit
// at their window's origin, so a view's coordinates are its window's.
#pragma once

#include <memory>

#include "platform/graphics/Geometry.h"

namespace ui {

class ViewController;

class View {
public:
    virtual ~View() = default;

    graphics::Rect frame() const { return frame_; }
    void setFrame(graphics::Rect frame) { frame_ = frame; }
    // The view's own rectangle: its frame's size at the origin.
    graphics::Rect bounds() const { return {{0, 0}, frame_.size}; }

private:
    graphics::Rect frame_;
};

class Window : public View {
public:
    graphics::EdgeInsets safeAreaInsets() const { return safeAreaInsets_; }
    void setSafeAreaInsets(graphics::EdgeInsets insets) { safeAreaInsets_ = insets; }

    const std::shared_ptr<ViewController>& rootViewController() const {
        return rootViewController_;
    }
    void setRootViewController(std::shared_ptr<ViewController> controller);

    // Shows the window; its root controller's view loads and appears.
    void makeKeyAndVisible();

private:
    graphics::EdgeInsets safeAreaInsets_;
    std::shared_ptr<ViewController> rootViewController_;
    bool key_ = false;
};

}  // namespace ui
