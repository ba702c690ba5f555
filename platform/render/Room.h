// The camera image of the simulated world: a room drawn from the point of
// view, with a floor grid, walls, a window, a door, a table and boxes, lit
// softly, so that moving the camera shows parallax and the drawing stays put.
// The world's y axis is up; the floor lies 1.4 m below the camera's start.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/render/Gl.h"
#include "platform/scene/Math.h"

namespace render {

class Room {
  public:
    static constexpr float floorHeight = -1.4f;

    static platform::Result<std::unique_ptr<Room>> make();

    // Draws the room with `viewProjection` (world to clip space) into the
    // bound framebuffer, filling colour and depth.
    void draw(const scene::Matrix4& viewProjection, scene::Vector3 eye);

  private:
    Room() = default;
    Program program_;
    VertexArray vertexArray_;
    Buffer vertices_;
    GLsizei vertexCount_ = 0;
    GLint viewProjection_ = -1;
    GLint eye_ = -1;
};

}  // namespace render
