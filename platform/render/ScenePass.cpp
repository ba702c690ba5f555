#include "platform/render/ScenePass.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "platform/render/ImageMapping.h"

namespace render {

namespace {

const char* vertexSource = R"(#version 300 es
layout(location = 0) in vec2 corner;
layout(location = 1) in vec3 centre;
layout(location = 2) in vec3 halfRight;
layout(location = 3) in vec3 halfUp;
layout(location = 4) in vec4 uvOriginAndS;
layout(location = 5) in vec3 uvTAndOpacity;
uniform mat4 viewProjection;
out vec2 uv;
out float opacity;
void main() {
    vec3 position = centre + corner.x * halfRight + corner.y * halfUp;
    // (s, t) across the shown picture, t downwards from its top edge.
    vec2 st = vec2(corner.x * 0.5 + 0.5, 0.5 - corner.y * 0.5);
    uv = uvOriginAndS.xy + st.x * uvOriginAndS.zw + st.y * uvTAndOpacity.xy;
    opacity = uvTAndOpacity.z;
    gl_Position = viewProjection * vec4(position, 1.0);
}
)";

// Pictures are premultiplied, so opacity scales all four components.
// Fully transparent pixels leave no depth behind.
const char* fragmentSource = R"(#version 300 es
precision mediump float;
uniform sampler2D picture;
in vec2 uv;
in float opacity;
out vec4 fragmentColor;
void main() {
    vec4 color = texture(picture, uv) * opacity;
    if (color.a < 0.002) discard;
    fragmentColor = color;
}
)";

using scene::Vector3;

Vector3 column(const scene::Matrix4& m, int c) {
    return {m.columns[c][0], m.columns[c][1], m.columns[c][2]};
}

Vector3 normalized(Vector3 v) {
    float l = scene::length(v);
    return l > 0 ? v * (1.0f / l) : v;
}

void store(float (&out)[3], Vector3 v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

const scene::BillboardConstraint* billboardOf(const scene::Node& node) {
    for (const auto& constraint : node.constraints())
        if (auto* billboard = dynamic_cast<const scene::BillboardConstraint*>(constraint.get()))
            return billboard;
    return nullptr;
}

constexpr std::size_t instanceFloats = sizeof(ScenePass::Instance) / sizeof(float);
static_assert(instanceFloats == 16, "the instance layout is four vec4s");

}  // namespace

struct ScenePass::Camera {
    Vector3 eye;
    Vector3 right;
    Vector3 up;
    Vector3 back;
};

platform::Result<std::unique_ptr<ScenePass>> ScenePass::make() {
    auto program = buildProgram("scene", vertexSource, fragmentSource);
    if (!program) return platform::fail(program.error());
    std::unique_ptr<ScenePass> pass(new ScenePass());
    pass->program_ = std::move(program).value();
    pass->viewProjection_ = glGetUniformLocation(pass->program_.get(), "viewProjection");
    glUseProgram(pass->program_.get());
    glUniform1i(glGetUniformLocation(pass->program_.get(), "picture"), 0);

    pass->vertexArray_ = makeVertexArray();
    pass->corners_ = makeBuffer();
    pass->instances_ = makeBuffer();
    glBindVertexArray(pass->vertexArray_.get());
    const float corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, pass->corners_.get());
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    for (GLuint location = 1; location <= 5; ++location) {
        glEnableVertexAttribArray(location);
        glVertexAttribDivisor(location, 1);
    }
    glBindVertexArray(0);
    return pass;
}

void ScenePass::collect(const scene::Node& node, const scene::Matrix4& parentToWorld,
                        float parentOpacity, const Camera& camera, TextureCache& textures,
                        ScenePassStats& stats) {
    const scene::Matrix4 toWorld = parentToWorld * node.transform();
    const float opacity = parentOpacity * node.opacity();
    // A transparent node hides everything below it.
    if (!(opacity > 0)) return;

    if (auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get())) {
        const Vector3 centre = column(toWorld, 3);
        const float halfWidth = static_cast<float>(plane->width() / 2);
        const float halfHeight = static_cast<float>(plane->height() / 2);
        auto material = plane->firstMaterial();
        bool doubleSided = material && material->doubleSided;
        Vector3 right, up;
        bool visible = true;
        bool squareToScreen = false;
        if (const auto* billboard = billboardOf(node)) {
            // Turned to the viewer: with all axes free the plane takes the
            // point of view's orientation, square to the screen, so it faces
            // the camera from any side. Free about y alone, it stays upright
            // and turns about the world's vertical towards the eye.
            right = camera.right;
            up = camera.up;
            squareToScreen = true;
            switch (billboard->freeAxes()) {
                case scene::BillboardConstraint::Axes::y: {
                    Vector3 toEye = camera.eye - centre;
                    toEye.y = 0;
                    if (scene::length(toEye) > 1e-6f) {
                        up = {0, 1, 0};
                        right = normalized(scene::cross(up, normalized(toEye)));
                        squareToScreen = false;
                    }
                    break;
                }
                case scene::BillboardConstraint::Axes::x:
                case scene::BillboardConstraint::Axes::z:
                case scene::BillboardConstraint::Axes::all: break;
            }
        } else {
            right = column(toWorld, 0);
            up = column(toWorld, 1);
            // A single-sided plane shows only its front, the side its +z
            // axis points to.
            if (!doubleSided) visible = scene::dot(column(toWorld, 2), camera.eye - centre) > 0;
        }
        const float depth = scene::dot(centre - camera.eye, camera.back * -1.0f);
        const float radius = std::sqrt(halfWidth * halfWidth + halfHeight * halfHeight);
        if (!visible || depth < -radius) {
            ++stats.culled;
        } else {
            Item item{};
            item.depth = depth;
            item.order = static_cast<std::uint32_t>(items_.size());
            TextureSlot slot{textures.white(), 0, 0, 1, 1};
            auto orientation = graphics::ImageOrientation::up;
            if (material && material->diffuse.contents) {
                const auto& image = material->diffuse.contents;
                slot = textures.slotFor(image->cgImage());
                orientation = image->imageOrientation();
            }
            if (slot.texture != 0) {
                Instance& instance = item.instance;
                store(instance.centre, centre);
                store(instance.halfRight, right * halfWidth);
                store(instance.halfUp, up * halfHeight);
                StoredMapping mapping = storedMapping(orientation);
                float du = slot.u1 - slot.u0, dv = slot.v1 - slot.v0;
                instance.uvOrigin[0] = slot.u0 + static_cast<float>(mapping.origin.x) * du;
                instance.uvOrigin[1] = slot.v0 + static_cast<float>(mapping.origin.y) * dv;
                instance.uvS[0] = static_cast<float>(mapping.sAxis.x) * du;
                instance.uvS[1] = static_cast<float>(mapping.sAxis.y) * dv;
                instance.uvT[0] = static_cast<float>(mapping.tAxis.x) * du;
                instance.uvT[1] = static_cast<float>(mapping.tAxis.y) * dv;
                instance.opacity = opacity;
                item.texture = slot.texture;
                items_.push_back(item);
                crossing_ = crossing_ || !squareToScreen;
            }
        }
    }
    for (const auto& child : node.childNodes())
        collect(*child, toWorld, opacity, camera, textures, stats);
}

ScenePassStats ScenePass::draw(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                               const scene::Matrix4& viewProjection, TextureCache& textures) {
    ScenePassStats stats;
    Camera camera{column(cameraToWorld, 3), normalized(column(cameraToWorld, 0)),
                  normalized(column(cameraToWorld, 1)), normalized(column(cameraToWorld, 2))};
    items_.clear();
    crossing_ = false;
    // The root's own parent is the world.
    collect(root, scene::Matrix4::identity(), 1.0f, camera, textures, stats);
    stats.planes = items_.size();
    if (items_.empty()) return stats;

    // Back to front, so that transparent pictures blend over what lies
    // behind them; planes at the same depth keep the scene's order.
    std::sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
        if (a.depth != b.depth) return a.depth > b.depth;
        return a.order < b.order;
    });
    ordered_.resize(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) ordered_[i] = items_[i].instance;

    glUseProgram(program_.get());
    setMatrixUniform(viewProjection_, viewProjection);
    // Planes square to the screen (screen-aligned billboards) are parallel
    // and never cross, so drawing back to front is all they need; depth
    // testing them would cost a depth read and write for every pixel of
    // every sprite. A plane at another angle can cross others, and then
    // each hides what lies behind it.
    if (crossing_) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
    } else {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    usePremultipliedBlending();

    glBindVertexArray(vertexArray_.get());
    glBindBuffer(GL_ARRAY_BUFFER, instances_.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(ordered_.size() * sizeof(Instance)),
                 ordered_.data(), GL_STREAM_DRAW);
    // Without a base instance (WebGL 2 has none) each run points the
    // instance attributes at its first plane.
    const GLsizei stride = sizeof(Instance);
    for (std::size_t begin = 0; begin < items_.size();) {
        std::size_t end = begin + 1;
        while (end < items_.size() && items_[end].texture == items_[begin].texture) ++end;
        const std::size_t base = begin * sizeof(Instance);
        auto at = [base](std::size_t offset) {
            return reinterpret_cast<const void*>(base + offset);
        };
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, centre)));
        glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, halfRight)));
        glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, halfUp)));
        glVertexAttribPointer(4, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, uvOrigin)));
        glVertexAttribPointer(5, 3, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, uvT)));
        glBindTexture(GL_TEXTURE_2D, items_[begin].texture);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(end - begin));
        ++stats.drawCalls;
        begin = end;
    }
    glBindVertexArray(0);
    return stats;
}

}  // namespace render
