// The 3-D scene from the point of view: planes with their pictures,
// billboards turned to the viewer, opacity multiplied down the tree, sorted
// back to front and drawn in instanced batches, one call per shared texture.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/Result.h"
#include "platform/render/Gl.h"
#include "platform/render/TextureCache.h"
#include "platform/scene/Node.h"

namespace render {

struct ScenePassStats {
    std::size_t planes = 0;
    std::size_t culled = 0;
    std::size_t drawCalls = 0;
};

class ScenePass {
public:
    static platform::Result<std::unique_ptr<ScenePass>> make();

    // Draws everything under `root` (the root itself included) seen by a
    // camera at `cameraToWorld`, with `viewProjection` from world to clip
    // space, over what the bound framebuffer holds.
    ScenePassStats draw(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                        const scene::Matrix4& viewProjection, TextureCache& textures);

    // One plane as the vertex shader reads it: its centre and half-axes in
    // the world, and where its picture lies in its texture.
    struct Instance {
        float centre[3];
        float halfRight[3];
        float halfUp[3];
        float uvOrigin[2];
        float uvS[2];
        float uvT[2];
        float opacity;
    };

private:
    struct Item {
        float depth;
        std::uint32_t order;
        GLuint texture;
        Instance instance;
    };
    struct Camera;

    ScenePass() = default;
    void collect(const scene::Node& node, const scene::Matrix4& parentToWorld, float parentOpacity,
                 const Camera& camera, TextureCache& textures, ScenePassStats& stats);

    Program program_;
    GLint viewProjection_ = -1;
    VertexArray vertexArray_;
    Buffer corners_;
    Buffer instances_;
    std::vector<Item> items_;
    // Whether a drawn plane is not square to the screen and may cross others.
    bool crossing_ = false;
    std::vector<Instance> ordered_;
};

}  // namespace render
