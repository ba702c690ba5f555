#include "platform/render/Room.h"

#include <cstddef>
#include <vector>

namespace render {

namespace {

const char* vertexSource = R"(#version 300 es
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec3 color;
layout(location = 3) in float pattern;
uniform mat4 viewProjection;
out vec3 worldPosition;
out vec3 worldNormal;
out vec3 baseColor;
flat out int surface;
void main() {
    worldPosition = position;
    worldNormal = normal;
    baseColor = color;
    surface = int(pattern + 0.5);
    gl_Position = viewProjection * vec4(position, 1.0);
}
)";

// Surfaces: 0 plain, 1 floor boards with a grid, 2 wall with a skirting
// board, 3 window with its bars, 4 rug with stripes, 5 ceiling with a lamp.
const char* fragmentSource = R"(#version 300 es
precision highp float;
in vec3 worldPosition;
in vec3 worldNormal;
in vec3 baseColor;
flat in int surface;
uniform vec3 eye;
out vec4 fragmentColor;

// 1 on lines of `width` every `spacing`, smoothed over a pixel.
float lines(vec2 p, float spacing, float width) {
    vec2 distanceToLine = abs(fract(p / spacing + 0.5) - 0.5) * spacing;
    vec2 pixel = max(fwidth(p), vec2(1e-5));
    vec2 on = 1.0 - smoothstep(vec2(width * 0.5) - pixel, vec2(width * 0.5) + pixel, distanceToLine);
    return max(on.x, on.y);
}

void main() {
    vec3 n = normalize(worldNormal);
    vec3 color = baseColor;
    if (surface == 1) {
        float board = floor(worldPosition.x / 0.2);
        color *= 0.94 + 0.06 * fract(sin(board * 12.9898) * 43758.5453);
        color = mix(color, color * 0.55, lines(worldPosition.xz, 0.5, 0.012));
    } else if (surface == 2) {
        if (worldPosition.y < -1.28) color *= 0.72;
    } else if (surface == 3) {
        float sky = clamp((worldPosition.y + 0.2) / 1.1, 0.0, 1.0);
        color = mix(vec3(0.80, 0.90, 1.0), vec3(0.45, 0.68, 0.95), sky);
        vec2 across = abs(n.z) > 0.5 ? worldPosition.xy : worldPosition.zy;
        color = mix(color, vec3(0.95), lines(across - vec2(-0.4, 0.35), 0.8, 0.05));
    } else if (surface == 4) {
        float stripe = step(0.5, fract(worldPosition.z / 0.3));
        color *= 0.85 + 0.15 * stripe;
    } else if (surface == 5) {
        // The ceiling is lit from below by the lamp, with a round glow
        // around its fitting.
        vec2 fromLamp = worldPosition.xz - vec2(0.6, -2.0);
        float glow = exp(-dot(fromLamp, fromLamp) * 0.35);
        float fitting = 1.0 - smoothstep(0.22, 0.24, length(fromLamp));
        color = mix(color * (0.78 + 0.22 * glow), vec3(1.0, 0.98, 0.9), fitting);
        fragmentColor = vec4(min(color, vec3(1.0)), 1.0);
        return;
    }
    // Light from a window-side sky, a ceiling lamp over the table, and
    // some ambient light, fading slowly with distance from the lamp.
    vec3 sun = normalize(vec3(-0.35, 1.0, 0.45));
    float diffuse = max(dot(n, sun), 0.0);
    vec3 lamp = vec3(0.6, 1.2, -2.0);
    vec3 toLamp = lamp - worldPosition;
    float lampDistance = length(toLamp);
    float lampLight = max(dot(n, toLamp / lampDistance), 0.0) * 0.55 / (1.0 + 0.25 * lampDistance * lampDistance);
    float light = 0.52 + 0.3 * diffuse + lampLight;
    // A hint of haze with distance, so depth reads even on flat colours.
    float haze = clamp(length(worldPosition - eye) / 14.0, 0.0, 0.25);
    color = mix(color * light, vec3(0.86, 0.87, 0.9), haze);
    fragmentColor = vec4(min(color, vec3(1.0)), 1.0);
}
)";

struct Vertex {
    float position[3];
    float normal[3];
    float color[3];
    float pattern;
};

using scene::Vector3;

class Builder {
public:
    // A quad with corners a, b, c, d in order around it.
    void quad(Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector3 normal, Vector3 color,
              float pattern) {
        for (Vector3 p : {a, b, c, a, c, d})
            vertices.push_back({{p.x, p.y, p.z},
                                {normal.x, normal.y, normal.z},
                                {color.x, color.y, color.z},
                                pattern});
    }
    // An axis-aligned box seen from outside.
    void box(Vector3 lo, Vector3 hi, Vector3 color) {
        quad({lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z},
             {0, 1, 0}, color, 0);
        quad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z},
             {0, -1, 0}, color, 0);
        quad({lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z},
             {0, 0, 1}, color, 0);
        quad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
             {0, 0, -1}, color, 0);
        quad({hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z},
             {1, 0, 0}, color, 0);
        quad({lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z},
             {-1, 0, 0}, color, 0);
    }
    std::vector<Vertex> vertices;
};

std::vector<Vertex> buildRoom() {
    Builder b;
    const float y0 = Room::floorHeight, y1 = 1.3f;
    const float x0 = -3.0f, x1 = 3.0f, z0 = -4.5f, z1 = 2.5f;
    // Floor, ceiling and the four walls, facing into the room.
    b.quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, {0, 1, 0}, {0.66f, 0.52f, 0.38f},
           1);
    b.quad({x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}, {0, -1, 0}, {0.95f, 0.94f, 0.9f},
           5);
    b.quad({x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {0, 0, 1}, {0.84f, 0.85f, 0.78f},
           2);
    b.quad({x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {0, 0, -1}, {0.8f, 0.78f, 0.86f},
           2);
    b.quad({x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}, {1, 0, 0}, {0.88f, 0.8f, 0.7f},
           2);
    b.quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {-1, 0, 0},
           {0.74f, 0.82f, 0.86f}, 2);
    // A window in the far wall, a door on the left, a picture on the right.
    b.quad({-1.2f, -0.2f, z0 + 0.01f}, {0.4f, -0.2f, z0 + 0.01f}, {0.4f, 0.9f, z0 + 0.01f},
           {-1.2f, 0.9f, z0 + 0.01f}, {0, 0, 1}, {0.6f, 0.8f, 1.0f}, 3);
    b.quad({x0 + 0.01f, y0, -1.9f}, {x0 + 0.01f, 0.65f, -1.9f}, {x0 + 0.01f, 0.65f, -0.95f},
           {x0 + 0.01f, y0, -0.95f}, {1, 0, 0}, {0.55f, 0.36f, 0.22f}, 0);
    b.quad({x1 - 0.01f, 0.0f, -2.6f}, {x1 - 0.01f, 0.65f, -2.6f}, {x1 - 0.01f, 0.65f, -1.6f},
           {x1 - 0.01f, 0.0f, -1.6f}, {-1, 0, 0}, {0.95f, 0.55f, 0.2f}, 0);
    b.quad({x1 - 0.015f, 0.08f, -2.5f}, {x1 - 0.015f, 0.57f, -2.5f}, {x1 - 0.015f, 0.57f, -1.7f},
           {x1 - 0.015f, 0.08f, -1.7f}, {-1, 0, 0}, {0.3f, 0.55f, 0.45f}, 0);
    // A striped rug.
    b.quad({-1.6f, y0 + 0.004f, -3.1f}, {0.9f, y0 + 0.004f, -3.1f}, {0.9f, y0 + 0.004f, -1.2f},
           {-1.6f, y0 + 0.004f, -1.2f}, {0, 1, 0}, {0.62f, 0.2f, 0.26f}, 4);
    // A table with four legs, a yellow box on it.
    const float top = -0.65f;
    b.box({0.3f, top - 0.05f, -2.6f}, {1.7f, top, -1.8f}, {0.48f, 0.32f, 0.2f});
    for (float x : {0.35f, 1.6f})
        for (float z : {-2.55f, -1.9f})
            b.box({x, y0, z}, {x + 0.06f, top - 0.05f, z + 0.06f}, {0.4f, 0.27f, 0.17f});
    b.box({0.9f, top, -2.35f}, {1.2f, top + 0.25f, -2.05f}, {0.95f, 0.78f, 0.2f});
    // Boxes on the floor: a red one with a blue one on top, a green one.
    b.box({-2.3f, y0, -3.4f}, {-1.6f, y0 + 0.6f, -2.7f}, {0.82f, 0.22f, 0.2f});
    b.box({-2.2f, y0 + 0.6f, -3.3f}, {-1.8f, y0 + 0.95f, -2.9f}, {0.22f, 0.38f, 0.82f});
    b.box({1.8f, y0, -0.6f}, {2.45f, y0 + 0.45f, 0.05f}, {0.25f, 0.65f, 0.36f});
    return b.vertices;
}

}  // namespace

platform::Result<std::unique_ptr<Room>> Room::make() {
    auto program = buildProgram("room", vertexSource, fragmentSource);
    if (!program) return platform::fail(program.error());
    std::unique_ptr<Room> room(new Room());
    room->program_ = std::move(program).value();
    room->viewProjection_ = glGetUniformLocation(room->program_.get(), "viewProjection");
    room->eye_ = glGetUniformLocation(room->program_.get(), "eye");

    auto vertices = buildRoom();
    room->vertexCount_ = static_cast<GLsizei>(vertices.size());
    room->vertexArray_ = makeVertexArray();
    room->vertices_ = makeBuffer();
    glBindVertexArray(room->vertexArray_.get());
    glBindBuffer(GL_ARRAY_BUFFER, room->vertices_.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                 vertices.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(Vertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, color)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, pattern)));
    glBindVertexArray(0);
    return room;
}

void Room::draw(const scene::Matrix4& viewProjection, scene::Vector3 eye) {
    glUseProgram(program_.get());
    setMatrixUniform(viewProjection_, viewProjection);
    glUniform3f(eye_, eye.x, eye.y, eye.z);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glBindVertexArray(vertexArray_.get());
    glDrawArrays(GL_TRIANGLES, 0, vertexCount_);
    glBindVertexArray(0);
}

platform::Result<std::unique_ptr<Backdrop>> makeRoomBackdrop() {
    TRY_LET(room, Room::make());
    return std::unique_ptr<Backdrop>(std::move(room));
}

namespace {
class TransparentBackdrop : public Backdrop {
public:
    void draw(const scene::Matrix4&, scene::Vector3) override {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};
}  // namespace

std::unique_ptr<Backdrop> makeTransparentBackdrop() {
    return std::make_unique<TransparentBackdrop>();
}

}  // namespace render
