// What a picture covers, worked out once from its texels: the part that is
// not transparent (a sprite's quad is drawn over that alone), its
// transparent corners (cut off along 45-degree lines), the largest
// rectangle of fully opaque texels, and a summed-area table of the texels
// that are not fully opaque, which tells at once whether any rectangle of
// the picture is wholly opaque and so an occluder.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/Bitmap.h"

namespace render {

struct PictureCoverage {
    // The widest or tallest picture that gets a summed-area table; a larger
    // one occludes only behind its opaque rectangle.
    static constexpr int maxSummedAreaSide = 512;

    // The part of the picture whose texels are not fully transparent, as
    // fractions of its width and height (x0, y0, x1, y1, y downwards); a
    // picture with none keeps one texel.
    float visible[4] = {0, 0, 1, 1};
    // The largest rectangle whose texels are all fully opaque, as
    // fractions (as above); empty (all 0) when no texel is.
    float opaque[4] = {0, 0, 0, 0};
    // How far in from the corners of the visible part its transparent
    // corners reach along 45-degree cuts, in fractions of its width: top
    // left, top right, bottom right, bottom left. None for a picture that
    // is not square.
    float corners[4] = {0, 0, 0, 0};
    int width = 0, height = 0;
    // For each texel corner (x, y), how many texels above and to the left
    // are not fully opaque: (width + 1) by (height + 1), or none.
    std::vector<std::uint32_t> summedArea;

    static PictureCoverage of(const graphics::Bitmap& bitmap);

    bool hasSummedArea() const { return !summedArea.empty(); }
    // Texels in columns [x0, x1) and rows [y0, y1) that are not fully
    // opaque; the rectangle must lie inside the picture.
    std::uint32_t seeThrough(int x0, int y0, int x1, int y1) const;
};

// Texels that filtering reaches from a point when a picture `texels` wide
// is drawn `pixels` wide: a texel, or more where a smaller level of detail
// is read (as the vertex shader reckons it).
float filterReach(float texels, float pixels);

}  // namespace render
