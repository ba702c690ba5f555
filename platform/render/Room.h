// The camera image of the simulated world: a lit room (floor grid, walls, a
// window, a door, a table, boxes) drawn from the point of view, so that the
// camera's moves show parallax. The world's y is up; the floor is at −1.4 m.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/render/Backdrop.h"
#include "platform/render/Gl.h"
#include "platform/scene/Math.h"

namespace render {

class Room : public Backdrop {
public:
    static constexpr float floorHeight = -1.4f;

    static platform::Result<std::unique_ptr<Room>> make();

    // Draws the room with `viewProjection` (world to clip space) into the
    // bound framebuffer, filling colour and depth.
    void draw(const scene::Matrix4& viewProjection, scene::Vector3 eye) override;

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
