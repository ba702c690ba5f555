// What the scene is drawn over: the camera's picture. In the simulated world
// that is the room, drawn from the point of view; over a real camera's
// picture (a phone's, through the browser) the backdrop is transparent and
// the camera image shows through.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/scene/Math.h"

namespace render {

class Backdrop {
public:
    virtual ~Backdrop() = default;
    // Fills the bound framebuffer's viewport, colour and depth, with
    // `viewProjection` from world to clip space and the eye at `eye`.
    virtual void draw(const scene::Matrix4& viewProjection, scene::Vector3 eye) = 0;
};

// The simulated room; fails with the reason when its shaders do not build.
platform::Result<std::unique_ptr<Backdrop>> makeRoomBackdrop();
// Transparent: clears colour to nothing, for a real camera's picture below.
std::unique_ptr<Backdrop> makeTransparentBackdrop();

}  // namespace render
