// What the scene pass's stages hand one another: consecutive instances
// (planes, by their slots) that share a texture (a run, one draw call),
// what ordering needs to know of a material, and the part of a sprite's
// quad that is drawn. Nothing here touches GL: the stages that work on
// these run without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/render/SceneCache.h"

namespace render {

// A GL texture's name; 0 is none.
using TextureId = std::uint32_t;

// Consecutive instances of one pass that share a texture: one draw call.
struct Run {
    TextureId texture = 0;
    std::size_t first = 0;
    std::size_t count = 0;
};

// What ordering and culling need of a material, read once per material
// rather than once per plane.
struct MaterialFacts {
    // How far the plane can reach towards or away from the eye.
    float reach = 0;
    TextureId texture = 0;
    // A see-through plane not turned to the viewer (a photo): it divides
    // the blended pass's depth sort.
    bool divider = false;
    // Drawn in the opaque pass, front-to-back, writing depth.
    bool opaque = false;
    // A plane square to the screen (a sprite), and its half width and
    // height in the world.
    bool square = false;
    float halfWidth = 0, halfHeight = 0;

    // The facts of `material` whose picture lies in `texture`.
    static MaterialFacts of(const Look& material, TextureId texture) {
        return {material.facing == Look::Facing::fixed
                    ? scene::length(material.right) + scene::length(material.up)
                    : material.right.x + material.up.y,
                texture,
                material.facing == Look::Facing::fixed && material.opacity < 1,
                material.opacity >= 1,
                material.facing == Look::Facing::camera,
                material.right.x,
                material.up.y};
    }
};

// The one texture that every material in use lies in (materials no plane
// uses have none), or 0 where they lie in several.
inline TextureId onlyTexture(const std::vector<MaterialFacts>& facts) {
    TextureId only = 0;
    for (const MaterialFacts& material : facts) {
        if (material.texture == 0 || material.texture == only) continue;
        if (only != 0) return 0;
        only = material.texture;
    }
    return only;
}

// The part of a sprite's quad that is drawn: s0, t0, s1, t1 in 65535ths,
// two bytes each, t downwards from the quad's top. Fine enough that where
// two parts of one sprite meet at a tile's edge, the sliver both draw holds
// no pixel's centre. 0 is no part.
using Part = std::uint64_t;
constexpr Part wholePart = 0xFFFFFFFF00000000u;

}  // namespace render
