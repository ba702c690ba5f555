// What the screen shows in one frame, described once by `ui`: the scene view
// and, over it, the framework's presented screens with their layouts. The
// renderer paints this description and the host hit-tests the same layouts,
// so what is drawn is what is clicked.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/PresentedLayout.h"

namespace ui {

// What the host knows of the user's hold on the top screen: the target held
// down (drawn highlighted) and how far the photo picker is scrolled.
struct PresentedInteraction {
    std::optional<std::size_t> pressedTarget;
    std::size_t pickerFirstRow = 0;
};

struct PresentedFrame {
    std::shared_ptr<ViewController> controller;
    // The same object from frame to frame while nothing it depends on
    // changes, so that a painter may keep what it painted.
    std::shared_ptr<const PresentedLayout> layout;
};

struct FrameDescription {
    // The root controller's scene view, or none before launch.
    std::shared_ptr<const SceneView> sceneView;
    // The screen in points.
    graphics::Size screenSize;
    // The framework's screens presented over the view, outermost first.
    std::vector<PresentedFrame> presented;

    // The layout of the innermost presented screen, or none.
    const PresentedLayout* topLayout() const {
        return presented.empty() ? nullptr : presented.back().layout.get();
    }
};

// Describes frames, keeping each presented screen's layout while its
// controller, the screen and the interaction stay the same.
class FrameBuilder {
public:
    FrameDescription describe(const Application& application,
                              const PresentedInteraction& interaction = {});

private:
    struct Kept {
        std::weak_ptr<ViewController> controller;
        PresentedEnvironment environment;
        std::shared_ptr<const PresentedLayout> layout;
    };
    std::vector<Kept> kept_;
};

}  // namespace ui
