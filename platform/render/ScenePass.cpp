#include "platform/render/ScenePass.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>

#include "platform/render/ImageMapping.h"

namespace render {

namespace {

// A look is six RGBA texels of the looks texture, 256 looks to a row:
//   right.xyz, facing (0 fixed, 1 to the camera, 2 upright)
//   up.xyz, opacity
//   where the picture's top-left corner is, its s axis
//   its t axis, double-sided (1) or not (0), the picture's width in texels
//   the part of the picture that is not transparent: s0, t0, s1, t1
//   how far its transparent corners reach in from that part's corners, in
//   fractions of its width: top left, top right, bottom right, bottom left
constexpr int looksPerRow = 256;
constexpr int texelsPerLook = 6;

const char* vertexSource = R"(#version 300 es
layout(location = 0) in vec2 corner;
layout(location = 1) in vec3 centre;
layout(location = 2) in uint look;
layout(location = 3) in vec4 part;
uniform mat4 viewProjection;
uniform vec3 eye;
uniform vec3 cameraRight;
uniform vec3 cameraUp;
uniform float viewportWidth;
uniform highp sampler2D looks;
uniform bool outline;
out vec2 uv;
flat out float opacity;
invariant gl_Position;
// An octagon: its vertices in turn around it, each at a corner of the quad
// ((s, t), t downwards) moved along an edge by that corner's cut; and the
// order that makes them a triangle strip.
const int outlineOrder[8] = int[8](0, 1, 7, 2, 6, 3, 5, 4);
const vec2 outlineCorners[8] = vec2[8](vec2(0.0, 0.0), vec2(0.0, 0.0), vec2(1.0, 0.0),
                                       vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(1.0, 1.0),
                                       vec2(0.0, 1.0), vec2(0.0, 1.0));
const vec2 outlineSteps[8] = vec2[8](vec2(0.0, 1.0), vec2(1.0, 0.0), vec2(-1.0, 0.0),
                                     vec2(0.0, 1.0), vec2(0.0, -1.0), vec2(-1.0, 0.0),
                                     vec2(1.0, 0.0), vec2(0.0, -1.0));
void main() {
    ivec2 at = ivec2(int(look % 256u) * 6, int(look / 256u));
    vec4 a = texelFetch(looks, at, 0);
    vec4 b = texelFetch(looks, at + ivec2(1, 0), 0);
    vec4 c = texelFetch(looks, at + ivec2(2, 0), 0);
    vec4 d = texelFetch(looks, at + ivec2(3, 0), 0);
    vec4 e = texelFetch(looks, at + ivec2(4, 0), 0);
    vec4 f = texelFetch(looks, at + ivec2(5, 0), 0);
    vec3 right = a.xyz;
    vec3 up = b.xyz;
    if (a.w == 1.0) {
        right = cameraRight * a.x;
        up = cameraUp * b.y;
    } else if (a.w == 2.0) {
        vec3 toEye = vec3(eye.x - centre.x, 0.0, eye.z - centre.z);
        if (length(toEye) > 1e-6) {
            right = normalize(cross(vec3(0.0, 1.0, 0.0), normalize(toEye))) * a.x;
            up = vec3(0.0, 1.0, 0.0) * b.y;
        } else {
            right = cameraRight * a.x;
            up = cameraUp * b.y;
        }
    }
    // (s, t) across the shown picture, t downwards from its top edge. A
    // sprite's quad covers only the part of its picture that shows, and as
    // far around it as filtering reaches: a texel, or more where the sprite
    // is small on the screen and drawn from a smaller level of detail. The
    // pixels left out would be fully transparent. Of that, only the `part`
    // where nearer sprites do not hide it. As an outline, the quad is an
    // octagon: its corners cut off along 45-degree lines where the picture
    // is transparent as far as filtering reaches.
    int vertex = outlineOrder[gl_VertexID % 8];
    vec2 st = outline ? outlineCorners[vertex] : vec2(corner.x * 0.5 + 0.5, 0.5 - corner.y * 0.5);
    vec2 quad = vec2(st.x * 2.0 - 1.0, 1.0 - st.y * 2.0);
    if (d.w > 0.0) {
        vec4 middle = viewProjection * vec4(centre, 1.0);
        vec4 side = viewProjection * vec4(centre + right, 1.0);
        float pixels = abs(side.x / side.w - middle.x / middle.w) * viewportWidth;
        float texelsPerPixel = d.w / max(pixels, 1e-6);
        float reach = texelsPerPixel > 1.0 ? exp2(ceil(log2(texelsPerPixel)) + 1.0) : 1.0;
        vec2 reaching = e.xy - reach / d.w, reached = e.zw + reach / d.w;
        vec2 low = max(max(reaching, 0.0), part.xy);
        vec2 high = max(low, min(min(reached, 1.0), part.zw));
        vec2 cornerSt = st;
        st = mix(low, high, st);
        if (outline) {
            // Each cut, measured from the corner of what is drawn, and
            // shortened where two cuts along one edge would cross.
            vec4 in0 = vec4(low.x - reaching.x, reached.x - high.x, reached.x - high.x,
                            low.x - reaching.x);
            vec4 in1 = vec4(low.y - reaching.y, low.y - reaching.y, reached.y - high.y,
                            reached.y - high.y);
            vec4 cut = max(f - in0 - in1, 0.0);
            vec2 size = high - low;
            float across = cornerSt.y < 0.5 ? cut.x + cut.y : cut.w + cut.z;
            float down = cornerSt.x < 0.5 ? cut.x + cut.w : cut.y + cut.z;
            int which = vertex / 2;
            float mine = which == 0 ? cut.x : which == 1 ? cut.y : which == 2 ? cut.z : cut.w;
            vec2 step = outlineSteps[vertex];
            st += step * mine * vec2(min(1.0, size.x / max(across, 1e-9)),
                                     min(1.0, size.y / max(down, 1e-9)));
        }
        quad = vec2(st.x * 2.0 - 1.0, 1.0 - st.y * 2.0);
    }
    vec3 position = centre + quad.x * right + quad.y * up;
    uv = c.xy + st.x * c.zw + st.y * d.xy;
    opacity = b.w;
    gl_Position = viewProjection * vec4(position, 1.0);
    // A single-sided plane shows only its front, the side its +z axis
    // points to; from behind it is moved out of the view.
    if (a.w == 0.0 && d.z == 0.0 && dot(cross(right, up), eye - centre) <= 0.0)
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
}
)";

// Pictures are premultiplied, so opacity scales all four components. The
// opaque pass keeps the texels that hide what lies behind them, the blended
// pass everything else that shows; fully transparent texels leave nothing.
const char* fragmentSource = R"(#version 300 es
precision mediump float;
uniform sampler2D picture;
uniform int blendPass;
in vec2 uv;
flat in float opacity;
out vec4 fragmentColor;
const float opaqueAlpha = 254.5 / 255.0;
void main() {
    vec4 color = texture(picture, uv) * opacity;
    if (blendPass == 0) {
        if (color.a < opaqueAlpha) discard;
        fragmentColor = vec4(color.rgb, 1.0);
    } else {
        if (color.a < 0.002 || (opacity == 1.0 && color.a >= opaqueAlpha)) discard;
        fragmentColor = color;
    }
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

float facingCode(Look::Facing facing) {
    switch (facing) {
        case Look::Facing::fixed: return 0;
        case Look::Facing::camera: return 1;
        case Look::Facing::upright: return 2;
    }
    return 0;
}

// A key whose unsigned order is the float's order, reversed: farthest
// first. Planes at one depth keep the order they came in (a stable sort).
std::uint32_t farthestFirst(float depth) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(depth);
    bits ^= (bits >> 31) != 0 ? 0xFFFFFFFFu : 0x80000000u;
    return ~bits;
}

// Sorts `items` (key, slot) by key, keeping the order of equal keys: three
// passes of eleven bits, linear in the planes.
void radixSort(std::vector<std::uint64_t>& items, std::vector<std::uint64_t>& scratch) {
    scratch.resize(items.size());
    for (int shift = 32; shift < 64; shift += 11) {
        std::array<std::size_t, 2049> counts{};
        for (std::uint64_t item : items) ++counts[((item >> shift) & 0x7FF) + 1];
        for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
        for (std::uint64_t item : items) scratch[counts[(item >> shift) & 0x7FF]++] = item;
        items.swap(scratch);
    }
}

// The part of `bitmap` whose pixels are not fully transparent, as fractions
// of its width and height (x0, y0, x1, y1); a picture with none keeps one
// pixel.
void visibleBounds(const graphics::Bitmap& bitmap, float (&bounds)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    int x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row =
            bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        for (int x = 0; x < w; ++x)
            if (row[static_cast<std::size_t>(x) * 4 + 3] != 0) {
                x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
                y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
            }
    }
    if (x1 <= x0) x0 = 0, y0 = 0, x1 = 1, y1 = 1;
    bounds[0] = static_cast<float>(x0) / static_cast<float>(w);
    bounds[1] = static_cast<float>(y0) / static_cast<float>(h);
    bounds[2] = static_cast<float>(x1) / static_cast<float>(w);
    bounds[3] = static_cast<float>(y1) / static_cast<float>(h);
}

// The largest rectangle of `bitmap` whose pixels are all fully opaque, as
// fractions of its width and height (x0, y0, x1, y1); empty (all 0) when no
// pixel is. Row by row, each column's run of opaque pixels ending there is
// a bar of a histogram, and the largest rectangle under it is found with a
// stack of rising bars.
void opaqueBounds(const graphics::Bitmap& bitmap, float (&bounds)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<int> heights(static_cast<std::size_t>(w) + 1, 0);
    std::vector<int> rising;
    long best = 0;
    int bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row =
            bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        for (int x = 0; x < w; ++x) {
            int& bar = heights[static_cast<std::size_t>(x)];
            bar = row[static_cast<std::size_t>(x) * 4 + 3] == 255 ? bar + 1 : 0;
        }
        rising.clear();
        for (int x = 0; x <= w; ++x) {
            const int bar = heights[static_cast<std::size_t>(x)];
            while (!rising.empty() && heights[static_cast<std::size_t>(rising.back())] >= bar) {
                const int top = heights[static_cast<std::size_t>(rising.back())];
                rising.pop_back();
                const int left = rising.empty() ? 0 : rising.back() + 1;
                const long area = static_cast<long>(top) * (x - left);
                if (area > best) best = area, bx0 = left, bx1 = x, by0 = y + 1 - top, by1 = y + 1;
            }
            rising.push_back(x);
        }
    }
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    bounds[0] = static_cast<float>(bx0) / fw;
    bounds[1] = static_cast<float>(by0) / fh;
    bounds[2] = static_cast<float>(bx1) / fw;
    bounds[3] = static_cast<float>(by1) / fh;
}

// How far in from each corner of `visible` (the part of `bitmap` that is not
// transparent, as visibleBounds finds it) a 45-degree cut leaves out only
// fully transparent texels: top left, top right, bottom right, bottom left,
// in fractions of its width. A point of the quad whose distances in from a
// corner of that part widened by filtering's reach add up to no more than
// the cut reads only those texels. A picture whose texels are not square to
// its quad's sides (width and height differ) is not cut.
void transparentCorners(const graphics::Bitmap& bitmap, const float (&visible)[4],
                        float (&cuts)[4]) {
    const int w = bitmap.width(), h = bitmap.height();
    std::fill(std::begin(cuts), std::end(cuts), 0.0f);
    if (w != h || w <= 0) return;
    const int x0 = static_cast<int>(std::lround(visible[0] * static_cast<float>(w)));
    const int y0 = static_cast<int>(std::lround(visible[1] * static_cast<float>(h)));
    const int x1 = static_cast<int>(std::lround(visible[2] * static_cast<float>(w))) - 1;
    const int y1 = static_cast<int>(std::lround(visible[3] * static_cast<float>(h))) - 1;
    int nearest[4] = {w + h, w + h, w + h, w + h};
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* row =
            bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
        for (int x = x0; x <= x1; ++x) {
            if (row[static_cast<std::size_t>(x) * 4 + 3] == 0) continue;
            nearest[0] = std::min(nearest[0], (x - x0) + (y - y0));
            nearest[1] = std::min(nearest[1], (x1 - x) + (y - y0));
            nearest[2] = std::min(nearest[2], (x1 - x) + (y1 - y));
            nearest[3] = std::min(nearest[3], (x - x0) + (y1 - y));
        }
    }
    for (int i = 0; i < 4; ++i)
        cuts[i] =
            nearest[i] == w + h ? 0.0f : static_cast<float>(nearest[i]) / static_cast<float>(w);
}

// For each texel of `bitmap`, how many texels above and to the left of it
// (itself not included) are less than fully opaque: a table (width + 1)
// by (height + 1) that answers for any rectangle at once.
std::vector<std::uint32_t> seeThroughTable(const graphics::Bitmap& bitmap) {
    const std::size_t w = static_cast<std::size_t>(bitmap.width());
    const std::size_t h = static_cast<std::size_t>(bitmap.height());
    std::vector<std::uint32_t> table((w + 1) * (h + 1), 0);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = bitmap.data() + y * bitmap.bytesPerRow();
        std::uint32_t inRow = 0;
        for (std::size_t x = 0; x < w; ++x) {
            inRow += row[x * 4 + 3] != 255 ? 1 : 0;
            table[(y + 1) * (w + 1) + x + 1] = table[y * (w + 1) + x + 1] + inRow;
        }
    }
    return table;
}

// Texels that filtering reaches from a point when a picture `texels` wide is
// drawn `pixels` wide: a texel, or more where a smaller level of detail is
// read (as the vertex shader reckons it).
float filterReach(float texels, float pixels) {
    const float texelsPerPixel = texels / std::max(pixels, 1e-6f);
    return texelsPerPixel > 1 ? std::exp2(std::ceil(std::log2(texelsPerPixel)) + 1) : 1.0f;
}

// The side of a tile of the screen, in pixels, for leaving out what nearer
// sprites hide: small enough that a sprite's opaque middle covers many.
constexpr int tileSize = 16;

// The widest picture whose texels are looked at one by one for hiding what
// lies behind it; a larger one hides only behind its opaque middle.
constexpr int maxSeeThroughTable = 512;

// A part of a sprite's picture: s0, t0, s1, t1 in 65535ths, two bytes
// each. Fine enough that where two parts of one sprite meet at a tile's
// edge, the sliver both draw holds no pixel's centre.
using Part = std::uint64_t;
constexpr Part wholePart = 0xFFFFFFFF00000000u;

constexpr std::size_t instanceSize = sizeof(ScenePass::Instance);
static_assert(instanceSize == 16, "an instance is a centre and a look");

}  // namespace

platform::Result<std::unique_ptr<ScenePass>> ScenePass::make() {
    auto program = buildProgram("scene", vertexSource, fragmentSource);
    if (!program) return platform::fail(program.error());
    std::unique_ptr<ScenePass> pass(new ScenePass());
    pass->program_ = std::move(program).value();
    GLuint p = pass->program_.get();
    pass->viewProjection_ = glGetUniformLocation(p, "viewProjection");
    pass->eye_ = glGetUniformLocation(p, "eye");
    pass->cameraRight_ = glGetUniformLocation(p, "cameraRight");
    pass->cameraUp_ = glGetUniformLocation(p, "cameraUp");
    pass->viewportWidth_ = glGetUniformLocation(p, "viewportWidth");
    pass->blendPass_ = glGetUniformLocation(p, "blendPass");
    pass->outline_ = glGetUniformLocation(p, "outline");
    glUseProgram(p);
    glUniform1i(glGetUniformLocation(p, "picture"), 0);
    glUniform1i(glGetUniformLocation(p, "looks"), 1);

    pass->looksTexture_ = makeTexture();
    glBindTexture(GL_TEXTURE_2D, pass->looksTexture_.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    pass->vertexArray_ = makeVertexArray();
    pass->corners_ = makeBuffer();
    pass->opaque_ = makeBuffer();
    pass->blended_ = makeBuffer();
    pass->regionOpaque_ = makeBuffer();
    pass->regionBlended_ = makeBuffer();
    pass->opaqueParts_ = makeBuffer();
    pass->blendedParts_ = makeBuffer();
    pass->cutOpaque_ = makeBuffer();
    pass->cutBlended_ = makeBuffer();
    glBindVertexArray(pass->vertexArray_.get());
    // A quad's four corners; an octagon's eight vertices read the same four
    // twice and work out their places themselves.
    const float corners[] = {-1, -1, 1, -1, -1, 1, 1, 1, -1, -1, 1, -1, -1, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, pass->corners_.get());
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    for (GLuint location = 1; location <= 3; ++location) {
        glEnableVertexAttribArray(location);
        glVertexAttribDivisor(location, 1);
    }
    glBindVertexArray(0);
    return pass;
}

bool ScenePass::resolveLooks(TextureCache& textures) {
    const auto& looks = cache_.looks();
    bool changed = resolved_.size() != looks.size();
    resolved_.resize(looks.size());
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        const Look& look = looks[i].look;
        TextureSlot slot{textures.white(), 0, 0, 1, 1};
        if (look.bitmap) slot = textures.slotFor(look.bitmap);
        ResolvedLook& known = resolved_[i];
        // A look whose texture moved breaks the runs it is in; a new one
        // joins them as it is ordered.
        if (known.texture != 0 && known.texture != slot.texture) orderStale_ = true;
        if (known.texture != slot.texture || known.slot.u0 != slot.u0 || known.slot.v0 != slot.v0 ||
            known.slot.u1 != slot.u1 || known.slot.v1 != slot.v1) {
            known = {slot.texture, slot, {0, 0, 1, 1}, 0, {0, 0, 0, 0}, 0, {0, 0, 0, 0}, {}};
            // A picture square to the screen and upright is drawn only
            // where it is not transparent, and hides what lies behind
            // where it is opaque.
            if (look.bitmap && look.facing == Look::Facing::camera &&
                look.orientation == graphics::ImageOrientation::up) {
                visibleBounds(*look.bitmap, known.visible);
                opaqueBounds(*look.bitmap, known.cover);
                transparentCorners(*look.bitmap, known.visible, known.corners);
                if (look.opacity >= 1 && look.bitmap->width() <= maxSeeThroughTable &&
                    look.bitmap->height() <= maxSeeThroughTable)
                    known.seeThrough = seeThroughTable(*look.bitmap);
                known.texels = static_cast<float>(look.bitmap->width());
                known.texelsHigh = static_cast<float>(look.bitmap->height());
            }
            changed = true;
        }
    }
    return changed;
}

void ScenePass::uploadLooks() {
    const auto& looks = cache_.looks();
    const int rows =
        std::max<int>(1, static_cast<int>((looks.size() + looksPerRow - 1) / looksPerRow));
    std::vector<float> texels(static_cast<std::size_t>(rows) * looksPerRow * texelsPerLook * 4,
                              0.0f);
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        const Look& look = looks[i].look;
        const TextureSlot& slot = resolved_[i].slot;
        StoredMapping mapping = storedMapping(look.orientation);
        const float du = slot.u1 - slot.u0, dv = slot.v1 - slot.v0;
        float* t = texels.data() + i * texelsPerLook * 4;
        const float values[texelsPerLook * 4] = {
            look.right.x,
            look.right.y,
            look.right.z,
            facingCode(look.facing),
            look.up.x,
            look.up.y,
            look.up.z,
            look.opacity,
            slot.u0 + static_cast<float>(mapping.origin.x) * du,
            slot.v0 + static_cast<float>(mapping.origin.y) * dv,
            static_cast<float>(mapping.sAxis.x) * du,
            static_cast<float>(mapping.sAxis.y) * dv,
            static_cast<float>(mapping.tAxis.x) * du,
            static_cast<float>(mapping.tAxis.y) * dv,
            look.doubleSided ? 1.0f : 0.0f,
            resolved_[i].texels,
            resolved_[i].visible[0],
            resolved_[i].visible[1],
            resolved_[i].visible[2],
            resolved_[i].visible[3],
            resolved_[i].corners[0],
            resolved_[i].corners[1],
            resolved_[i].corners[2],
            resolved_[i].corners[3],
        };
        std::copy(std::begin(values), std::end(values), t);
    }
    glBindTexture(GL_TEXTURE_2D, looksTexture_.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, looksPerRow * texelsPerLook, rows, 0, GL_RGBA,
                 GL_FLOAT, texels.data());
    looksRows_ = rows;
}

void ScenePass::readFacts() {
    const auto& looks = cache_.looks();
    facts_.assign(looks.size(), {});
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        const Look& look = looks[i].look;
        // How far the plane can reach towards or away from the eye.
        facts_[i] = {look.facing == Look::Facing::fixed
                         ? scene::length(look.right) + scene::length(look.up)
                         : look.right.x + look.up.y,
                     resolved_[i].texture,
                     look.facing == Look::Facing::fixed && look.opacity < 1,
                     look.opacity >= 1,
                     look.facing == Look::Facing::camera,
                     look.right.x,
                     look.up.y};
    }
}

bool ScenePass::keyPlanes(std::size_t firstSlot, Vector3 eye, Vector3 forward,
                          std::vector<Divider>* dividers) {
    const auto& entries = cache_.entries();
    for (std::size_t slot = firstSlot; slot < entries.size(); ++slot) {
        const SceneCache::Entry& entry = entries[slot];
        if (entry.look == SceneCache::none) continue;
        const Facts& look = facts_[entry.look];
        if (look.texture == 0) continue;
        if (look.divider) {
            if (!dividers) return false;
            const Look& plane = cache_.looks()[entry.look].look;
            Vector3 normal = scene::cross(plane.right, plane.up);
            float side = scene::dot(normal, eye - entry.centre);
            if (side != 0)
                dividers->push_back({entry.centre, normal, side > 0 ? 1.0f : -1.0f,
                                     static_cast<std::uint32_t>(slot)});
        }
        const float depth = scene::dot(entry.centre - eye, forward);
        if (depth + look.reach > 0) {
            nearest_ = std::min(nearest_, depth - look.reach);
            farthest_ = std::max(farthest_, depth + look.reach);
        }
        keyed_.push_back(static_cast<std::uint64_t>(farthestFirst(depth)) << 32 | slot);
    }
    return true;
}

ScenePass::Instance ScenePass::instance(std::uint64_t item) const {
    const SceneCache::Entry& entry = cache_.entries()[static_cast<std::uint32_t>(item)];
    return Instance{{entry.centre.x, entry.centre.y, entry.centre.z}, entry.look};
}

void ScenePass::order(Vector3 eye, Vector3 forward) {
    readFacts();
    // Planes only added since the last order, seen from where it was made:
    // they are merged into it. Otherwise every plane is ordered anew.
    // They wait to be merged until a frame is drawn whole: a frame that
    // draws only where they lie picks them and the planes there by their
    // keys, which give the same order.
    const std::size_t slots = cache_.entries().size();
    bool merged = false;
    slotKeys_.resize(slots);
    if (!orderStale_ && !orderHasDividers_ && orderedReshaped_ == cache_.reshapedGeneration() &&
        slots >= orderedSlots_ && eye == orderedEye_ && forward == orderedForward_) {
        keyed_.clear();
        merged = keyPlanes(orderedSlots_, eye, forward, nullptr);
        if (merged) {
            for (std::uint64_t item : keyed_)
                slotKeys_[static_cast<std::uint32_t>(item)] =
                    static_cast<std::uint32_t>(item >> 32);
            added_.insert(added_.end(), keyed_.begin(), keyed_.end());
        }
    }
    if (!merged) {
        orderAll(eye, forward);
        added_.clear();
        for (std::uint64_t item : ordered_)
            slotKeys_[static_cast<std::uint32_t>(item)] = static_cast<std::uint32_t>(item >> 32);
        blendedRunsFrom(0);
    }

    // Nearest first, the fully opaque planes only, grouped by texture. The
    // order only saves work here (the depth test decides what is seen): new
    // planes join the end, and it is made again only when planes went or
    // changed, or the point of view moved far enough for another order to
    // reject more.
    const bool opaqueKept = !orderStale_ && opaqueReshaped_ == cache_.reshapedGeneration() &&
                            slots >= opaqueSlots_ && scene::dot(forward, opaqueForward_) > 0.985f &&
                            scene::length(eye - opaqueEye_) < 0.1f &&
                            opaqueRuns_.size() <= 2 * opaqueTextures_ + 16;
    if (opaqueKept)
        appendOpaque(eye, forward);
    else
        orderOpaque(eye, forward);

    orderedEye_ = eye;
    orderedForward_ = forward;
    orderedSlots_ = slots;
    orderedReshaped_ = cache_.reshapedGeneration();
    // The depth buffer spans what the planes reach, not the view's whole
    // range from a millimetre to a kilometre: sprites a fraction of a
    // millimetre apart then still keep their order in it.
    depthNear_ = std::max(0.001f, nearest_ * 0.9f);
    depthFar_ = std::max(farthest_ * 1.1f, depthNear_ * 2);
    entriesOrdered_ = cache_.entriesGeneration();
    orderStale_ = false;
}

// The planes added since the blended order was made merged into it, its
// runs and its buffer from the first plane that moved.
void ScenePass::mergeWaiting() {
    if (added_.empty()) return;
    keyed_.swap(added_);
    added_.clear();
    blendedRunsFrom(mergeAdded());
}

// The blended planes farthest first in runs of one texture, and into their
// buffer from `unchanged` on.
void ScenePass::blendedRunsFrom(std::size_t unchanged) {
    blendedRuns_.clear();
    for (std::size_t i = 0; i < blendedInstances_.size(); ++i) {
        GLuint texture = facts_[blendedInstances_[i].look].texture;
        if (blendedRuns_.empty() || blendedRuns_.back().texture != texture)
            blendedRuns_.push_back({texture, i, 0});
        ++blendedRuns_.back().count;
    }
    upload(blended_, blendedCapacity_, blendedInstances_, unchanged);
}

void ScenePass::orderAll(Vector3 eye, Vector3 forward) {
    const auto& entries = cache_.entries();
    keyed_.clear();
    nearest_ = 1e30f, farthest_ = 0;
    // See-through planes that are not turned to the viewer (photos) divide
    // the scene: what lies on the eye's side of one is drawn after it, what
    // lies behind it before, whatever their centres' depths say. A sprite
    // behind a photo whose centre is nearer than the photo's is then still
    // seen through the photo.
    std::vector<Divider> dividers;
    keyPlanes(0, eye, forward, &dividers);
    radixSort(keyed_, scratch_);
    orderHasDividers_ = !dividers.empty();
    if (!dividers.empty()) {
        // Layer 2k: in front of k dividers; a divider in front of k others
        // is layer 2k + 1. A stable sort by layer keeps depth order within
        // each.
        auto layerOf = [&](std::uint32_t slot) {
            std::uint32_t layer = 0;
            bool divider = false;
            for (const Divider& d : dividers) {
                if (d.slot == slot) {
                    divider = true;
                    continue;
                }
                if (scene::dot(d.normal, entries[slot].centre - d.centre) * d.eyeSide > 0)
                    layer += 2;
            }
            return divider ? layer + 1 : layer;
        };
        std::vector<std::uint32_t> layers(keyed_.size());
        std::uint32_t most = 0;
        for (std::size_t i = 0; i < keyed_.size(); ++i) {
            layers[i] = layerOf(static_cast<std::uint32_t>(keyed_[i]));
            most = std::max(most, layers[i]);
        }
        std::vector<std::size_t> counts(most + 2, 0);
        for (std::uint32_t layer : layers) ++counts[layer + 1];
        for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
        scratch_.resize(keyed_.size());
        for (std::size_t i = 0; i < keyed_.size(); ++i) scratch_[counts[layers[i]]++] = keyed_[i];
        keyed_.swap(scratch_);
    }
    ordered_.swap(keyed_);
    blendedInstances_.resize(ordered_.size());
    for (std::size_t i = 0; i < ordered_.size(); ++i) blendedInstances_[i] = instance(ordered_[i]);
}

// The added planes' keys (in `keyed_`) merged into the kept order, from its
// end: the same order as sorting all of them, since every added slot is
// above the kept ones and the kept plane goes first between equal keys.
// Gives how many planes at the start kept their places.
std::size_t ScenePass::mergeAdded() {
    std::sort(keyed_.begin(), keyed_.end());
    std::size_t kept = ordered_.size(), added = keyed_.size(), out = kept + added;
    ordered_.resize(out);
    blendedInstances_.resize(out);
    auto keyOf = [](std::uint64_t item) { return item >> 32; };
    while (added > 0) {
        --out;
        if (kept > 0 && keyOf(ordered_[kept - 1]) > keyOf(keyed_[added - 1])) {
            --kept;
            ordered_[out] = ordered_[kept];
            blendedInstances_[out] = blendedInstances_[kept];
        } else {
            --added;
            ordered_[out] = keyed_[added];
            blendedInstances_[out] = instance(keyed_[added]);
        }
    }
    return out;
}

// `instances` from `from` on into `buffer`, which has room for `capacity`
// of them; all of them into a new buffer of twice their number when they
// outgrow it, or when a whole upload would use less than a quarter of it.
void ScenePass::upload(const Buffer& buffer, std::size_t& capacity,
                       const std::vector<Instance>& instances, std::size_t from) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
    const std::size_t least = 1024;
    if (instances.size() > capacity ||
        (from == 0 && capacity > least && instances.size() < capacity / 4)) {
        capacity = std::max(least, instances.size() * 2);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity * instanceSize), nullptr,
                     GL_DYNAMIC_DRAW);
        from = 0;
    }
    if (from < instances.size())
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(from * instanceSize),
                        static_cast<GLsizeiptr>((instances.size() - from) * instanceSize),
                        instances.data() + from);
}

void ScenePass::orderOpaque(Vector3 eye, Vector3 forward) {
    // Made from the blended order, whole.
    mergeWaiting();
    opaqueRuns_.clear();
    opaqueInstances_.clear();
    opaqueOrder_.clear();
    appendOpaqueFrom(ordered_);
    // Grouped by texture, keeping each group nearest first.
    std::vector<std::pair<GLuint, std::size_t>> groups;
    for (const Run& run : opaqueRuns_) {
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == run.texture; });
        if (group == groups.end())
            groups.push_back({run.texture, run.count});
        else
            group->second += run.count;
    }
    std::vector<Run> runs;
    for (const auto& [texture, count] : groups)
        runs.push_back({texture, runs.empty() ? 0 : runs.back().first + runs.back().count, count});
    mergedInstances_.resize(opaqueInstances_.size());
    mergedOrder_.resize(opaqueOrder_.size());
    std::vector<std::size_t> placed(runs.size());
    for (std::size_t r = 0; r < runs.size(); ++r) placed[r] = runs[r].first;
    for (const Run& run : opaqueRuns_) {
        std::size_t r = 0;
        while (runs[r].texture != run.texture) ++r;
        std::copy_n(opaqueInstances_.begin() + static_cast<std::ptrdiff_t>(run.first), run.count,
                    mergedInstances_.begin() + static_cast<std::ptrdiff_t>(placed[r]));
        std::copy_n(opaqueOrder_.begin() + static_cast<std::ptrdiff_t>(run.first), run.count,
                    mergedOrder_.begin() + static_cast<std::ptrdiff_t>(placed[r]));
        placed[r] += run.count;
    }
    opaqueInstances_.swap(mergedInstances_);
    opaqueOrder_.swap(mergedOrder_);
    opaqueRuns_ = std::move(runs);
    opaqueTextures_ = opaqueRuns_.size();
    opaqueRanks_.resize(cache_.entries().size());
    for (std::size_t i = 0; i < opaqueOrder_.size(); ++i)
        opaqueRanks_[opaqueOrder_[i]] = static_cast<std::uint32_t>(i);
    upload(opaque_, opaqueCapacity_, opaqueInstances_, 0);
    opaqueEye_ = eye;
    opaqueForward_ = forward;
    opaqueReshaped_ = cache_.reshapedGeneration();
    opaqueSlots_ = cache_.entries().size();
}

// The fully opaque planes of `items` (farthest first, the earlier placed
// first between equal depths), nearest first at the end of the opaque
// instances, in runs of one texture. Between equal depths the earlier
// placed stays first: the opaque pass lets the last drawn win a tie, as the
// blended pass does, and planes added later join the end.
void ScenePass::appendOpaqueFrom(const std::vector<std::uint64_t>& items) {
    for (std::size_t end = items.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && items[begin - 1] >> 32 == items[end - 1] >> 32) --begin;
        for (std::size_t i = begin; i < end; ++i) {
            const Instance next = instance(items[i]);
            const Facts& look = facts_[next.look];
            if (!look.opaque) continue;
            if (opaqueRuns_.empty() || opaqueRuns_.back().texture != look.texture)
                opaqueRuns_.push_back({look.texture, opaqueInstances_.size(), 0});
            ++opaqueRuns_.back().count;
            opaqueInstances_.push_back(next);
            opaqueOrder_.push_back(static_cast<std::uint32_t>(items[i]));
        }
        end = begin;
    }
}

// The planes added since the opaque order was made, at its end.
void ScenePass::appendOpaque(Vector3 eye, Vector3 forward) {
    const std::size_t slots = cache_.entries().size();
    if (slots == opaqueSlots_) return;
    keyed_.clear();
    const float nearest = nearest_, farthest = farthest_;
    const bool keyed = keyPlanes(opaqueSlots_, eye, forward, nullptr);
    nearest_ = nearest, farthest_ = farthest;
    if (!keyed) {
        // A see-through photo among them: the keys stop there.
        orderOpaque(eye, forward);
        return;
    }
    std::sort(keyed_.begin(), keyed_.end());
    const std::size_t before = opaqueInstances_.size();
    appendOpaqueFrom(keyed_);
    opaqueRanks_.resize(slots);
    for (std::size_t i = before; i < opaqueOrder_.size(); ++i)
        opaqueRanks_[opaqueOrder_[i]] = static_cast<std::uint32_t>(i);
    upload(opaque_, opaqueCapacity_, opaqueInstances_, before);
    opaqueSlots_ = slots;
}

// `runs` of the instances in `buffer`, each plane over its part in `parts`
// or whole.
void ScenePass::drawRuns(const Buffer& buffer, const std::vector<Run>& runs, const Buffer* parts,
                         ScenePassStats& stats) {
    if (parts) {
        glEnableVertexAttribArray(3);
    } else {
        glDisableVertexAttribArray(3);
        glVertexAttrib4f(3, 0, 0, 1, 1);
    }
    // Without a base instance (WebGL 2 has none) each run points the
    // instance attributes at its first plane.
    for (const Run& run : runs) {
        if (parts) {
            glBindBuffer(GL_ARRAY_BUFFER, parts->get());
            glVertexAttribPointer(3, 4, GL_UNSIGNED_SHORT, GL_TRUE, sizeof(Part),
                                  reinterpret_cast<const void*>(run.first * sizeof(Part)));
        }
        glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
        const std::size_t base = run.first * instanceSize;
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, instanceSize,
                              reinterpret_cast<const void*>(base + offsetof(Instance, centre)));
        glVertexAttribIPointer(2, 1, GL_UNSIGNED_INT, instanceSize,
                               reinterpret_cast<const void*>(base + offsetof(Instance, look)));
        glBindTexture(GL_TEXTURE_2D, run.texture);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, parts ? 8 : 4, static_cast<GLsizei>(run.count));
        ++stats.drawCalls;
    }
}

ScenePassStats ScenePass::prepare(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                                  const scene::Matrix4& viewProjection, TextureCache& textures) {
    const auto start = std::chrono::steady_clock::now();
    ScenePassStats stats;
    const Vector3 eye = column(cameraToWorld, 3);
    const Vector3 forward = normalized(column(cameraToWorld, 2)) * -1.0f;
    preparedCameraToWorld_ = cameraToWorld;
    preparedViewProjection_ = viewProjection;
    const Vector3 right = normalized(column(cameraToWorld, 0));
    const Vector3 up = normalized(column(cameraToWorld, 1));
    clipRight_ = viewProjection * std::array<float, 4>{right.x, right.y, right.z, 0};
    clipUp_ = viewProjection * std::array<float, 4>{up.x, up.y, up.z, 0};
    const std::size_t slotsBefore = orderedSlots_;
    const float nearBefore = depthNear_, farBefore = depthFar_;

    cache_.observe(root);
    cache_.refresh();
    const bool looksChanged = resolveLooks(textures);
    // Only planes added since the last order, seen from where it was made?
    const bool onlyAdded = !orderStale_ && orderedReshaped_ == cache_.reshapedGeneration() &&
                           cache_.entries().size() >= slotsBefore && eye == orderedEye_ &&
                           forward == orderedForward_;
    bool changed = false;
    if (looksChanged || looksUploaded_ != cache_.looksGeneration()) {
        uploadLooks();
        looksUploaded_ = cache_.looksGeneration();
        changed = true;
    }
    if (orderStale_ || entriesOrdered_ != cache_.entriesGeneration() || !(eye == orderedEye_) ||
        !(forward == orderedForward_)) {
        order(eye, forward);
        stats.reordered = true;
        changed = true;
        // Planes added and nothing else: where they lie on the screen.
        if (onlyAdded && depthNear_ == nearBefore && depthFar_ == farBefore) {
            stats.addedOnly = true;
            const float inf = std::numeric_limits<float>::infinity();
            stats.added = {inf, inf, -inf, -inf};
            for (std::size_t slot = slotsBefore; slot < cache_.entries().size(); ++slot) {
                if (cache_.entries()[slot].look == SceneCache::none) continue;
                const std::array<float, 4> e = extent(slot);
                stats.added = {std::min(stats.added[0], e[0]), std::min(stats.added[1], e[1]),
                               std::max(stats.added[2], e[2]), std::max(stats.added[3], e[3])};
            }
        }
    }
    if (changed) ++revision_;
    stats.revision = revision_;
    stats.planes = ordered_.size() + added_.size();
    stats.preparation = std::chrono::steady_clock::now() - start;
    return stats;
}

std::array<float, 4> ScenePass::extent(std::size_t slot) const {
    const float inf = std::numeric_limits<float>::infinity();
    const std::array<float, 4> everywhere{-inf, -inf, inf, inf};
    const SceneCache::Entry& entry = cache_.entries()[slot];
    if (entry.look == SceneCache::none) return {inf, inf, -inf, -inf};
    const Facts& look = facts_[entry.look];
    if (!look.square) return everywhere;
    return quadExtent(entry, look, {-1, -1, 1, 1});
}

std::array<float, 4> ScenePass::quadExtent(const SceneCache::Entry& entry, const Facts& look,
                                           const std::array<float, 4>& part) const {
    const float inf = std::numeric_limits<float>::infinity();
    const std::array<float, 4> centre =
        preparedViewProjection_ *
        std::array<float, 4>{entry.centre.x, entry.centre.y, entry.centre.z, 1};
    std::array<float, 4> e{inf, inf, -inf, -inf};
    for (int corner = 0; corner < 4; ++corner) {
        const float x = ((corner & 1) != 0 ? part[2] : part[0]) * look.halfWidth;
        const float y = ((corner & 2) != 0 ? part[3] : part[1]) * look.halfHeight;
        std::array<float, 4> p;
        for (int c = 0; c < 4; ++c) p[c] = centre[c] + x * clipRight_[c] + y * clipUp_[c];
        if (!(p[3] > 1e-6f)) return {-inf, -inf, inf, inf};
        const float px = p[0] / p[3], py = p[1] / p[3];
        e = {std::min(e[0], px), std::min(e[1], py), std::max(e[2], px), std::max(e[3], py)};
    }
    return e;
}

// Every slot's extent, worked out again only for slots added since, when
// neither the point of view nor the slots' planes changed (a slot whose
// plane is gone keeps its extent and is passed over).
void ScenePass::updateExtents() {
    const auto& entries = cache_.entries();
    const bool fresh = extentsRenumbered_ != cache_.renumberedGeneration() ||
                       entries.size() < extentsSlots_ ||
                       !(extentsViewProjection_ == preparedViewProjection_) ||
                       !(extentsCameraToWorld_ == preparedCameraToWorld_);
    extents_.resize(entries.size());
    for (std::size_t slot = fresh ? 0 : extentsSlots_; slot < entries.size(); ++slot)
        extents_[slot] = extent(slot);
    if (fresh) cellsSlots_ = 0;
    extentsSlots_ = entries.size();
    extentsRenumbered_ = cache_.renumberedGeneration();
    extentsViewProjection_ = preparedViewProjection_;
    extentsCameraToWorld_ = preparedCameraToWorld_;
}

// The cells of the screen's grid that `e` (normalised device coordinates,
// not empty) touches, inclusive; what lies off the screen counts as on its
// edge.
std::array<int, 4> ScenePass::cellsOf(const std::array<float, 4>& e) {
    auto cell = [](float at, int cells) {
        const float clamped = std::clamp(at, -1.0f, 1.0f);
        return std::min(cells - 1,
                        static_cast<int>((clamped + 1) * 0.5f * static_cast<float>(cells)));
    };
    return {cell(e[0], cellsAcross), cell(e[1], cellsDown), cell(e[2], cellsAcross),
            cell(e[3], cellsDown)};
}

// The grid's cells filled with the slots whose extents are known: all of
// them again, counted first into one array, after the extents were worked
// out afresh; else those added since, each cell's in a list of its own.
void ScenePass::updateCells() {
    constexpr std::size_t cells = cellsAcross * cellsDown;
    auto everywhere = [&](std::size_t slot) {
        const std::array<float, 4>& e = extents_[slot];
        return e[0] <= -1 && e[1] <= -1 && e[2] >= 1 && e[3] >= 1;
    };
    // Calls `into(cell)` for each cell that `slot`'s extent touches, unless
    // it is empty or everywhere.
    auto forCells = [&](std::size_t slot, auto into) {
        const std::array<float, 4>& e = extents_[slot];
        if (!(e[0] <= e[2] && e[1] <= e[3]) || everywhere(slot)) return;
        const auto [x0, y0, x1, y1] = cellsOf(e);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) into(static_cast<std::size_t>(y * cellsAcross + x));
    };
    const std::size_t from = cellsSlots_;
    if (from == 0) {
        everywhere_.clear();
        cellExtra_.resize(cells);
        for (auto& extra : cellExtra_) extra.clear();
        cellStart_.assign(cells + 1, 0);
        for (std::size_t slot = 0; slot < extents_.size(); ++slot)
            forCells(slot, [&](std::size_t cell) { ++cellStart_[cell + 1]; });
        for (std::size_t cell = 0; cell < cells; ++cell) cellStart_[cell + 1] += cellStart_[cell];
        cellSlots_.resize(cellStart_[cells]);
        cellFill_.assign(cellStart_.begin(), cellStart_.end() - 1);
    }
    for (std::size_t slot = from; slot < extents_.size(); ++slot) {
        const auto s = static_cast<std::uint32_t>(slot);
        if (everywhere(slot)) everywhere_.push_back(s);
        if (from == 0)
            forCells(slot, [&](std::size_t cell) { cellSlots_[cellFill_[cell]++] = s; });
        else
            forCells(slot, [&](std::size_t cell) { cellExtra_[cell].push_back(s); });
    }
    cellsSlots_ = extents_.size();
}

// The planes of both passes that may touch `region`, in their order and in
// runs of one texture, into buffers of their own. Only the planes in the
// grid's cells that `region` touches are looked at; they are put in the
// blended order by their keys (depth, farthest first, then slot, which is
// that order while no see-through photo divides it) and in the opaque
// order by their places in it.
void ScenePass::selectRegion(const std::array<float, 4>& region) {
    auto touches = [&](std::size_t slot) {
        const std::array<float, 4>& e = extents_[slot];
        return e[0] <= region[2] && e[2] >= region[0] && e[1] <= region[3] && e[3] >= region[1];
    };
    regionSlots_.clear();
    if (orderHasDividers_ || !(region[0] <= region[2] && region[1] <= region[3])) {
        mergeWaiting();
        for (std::uint64_t item : ordered_)
            if (touches(static_cast<std::uint32_t>(item)))
                regionSlots_.push_back(static_cast<std::uint32_t>(item));
    } else {
        // Each plane once, though it lies in several cells.
        touched_.resize(extents_.size(), 0);
        auto visit = [&](std::uint32_t slot) {
            if (touched_[slot] != 0) return;
            touched_[slot] = 1;
            regionSlots_.push_back(slot);
        };
        updateCells();
        for (std::uint32_t slot : everywhere_) visit(slot);
        const auto [x0, y0, x1, y1] = cellsOf(region);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const std::size_t cell = static_cast<std::size_t>(y * cellsAcross + x);
                for (std::size_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i)
                    visit(cellSlots_[i]);
                for (std::uint32_t slot : cellExtra_[cell]) visit(slot);
            }
        std::size_t kept = 0;
        for (std::uint32_t slot : regionSlots_) {
            touched_[slot] = 0;
            const std::uint32_t look = cache_.entries()[slot].look;
            if (look != SceneCache::none && facts_[look].texture != 0 && touches(slot))
                regionSlots_[kept++] = slot;
        }
        regionSlots_.resize(kept);
    }
    // Both orders of the planes found (unless already so), and the
    // instances in them.
    auto select = [&](auto rank, auto chosen, bool sorted, std::vector<Instance>& selected,
                      std::vector<Run>& runs) {
        regionOrder_.clear();
        for (std::uint32_t slot : regionSlots_)
            if (chosen(slot))
                regionOrder_.push_back(static_cast<std::uint64_t>(rank(slot)) << 32 | slot);
        if (!sorted) std::sort(regionOrder_.begin(), regionOrder_.end());
        selected.clear();
        runs.clear();
        for (std::uint64_t item : regionOrder_) {
            const Instance next = instance(item);
            const GLuint texture = facts_[next.look].texture;
            if (runs.empty() || runs.back().texture != texture)
                runs.push_back({texture, selected.size(), 0});
            ++runs.back().count;
            selected.push_back(next);
        }
    };
    select([&](std::uint32_t slot) { return slotKeys_[slot]; }, [](std::uint32_t) { return true; },
           orderHasDividers_, regionBlendedInstances_, regionBlendedRuns_);
    select([&](std::uint32_t slot) { return opaqueRanks_[slot]; },
           [&](std::uint32_t slot) { return facts_[cache_.entries()[slot].look].opaque; }, false,
           regionOpaqueInstances_, regionOpaqueRuns_);
    upload(regionBlended_, regionBlendedCapacity_, regionBlendedInstances_, 0);
    upload(regionOpaque_, regionOpaqueCapacity_, regionOpaqueInstances_, 0);
}

// Every tile of the screen that a sprite's fully opaque texels cover whole,
// as far as filtering reaches and with a pixel's worth of rounding to
// spare, is hidden behind `depth` at most. `whole` is the sprite's quad on
// the screen, in pixels (finite, not empty). Whether any tile was.
bool ScenePass::coverTiles(const std::array<float, 4>& whole, const ResolvedLook& picture,
                           float depth, float w, float h, int columns) {
    const auto [x0, y0, x1, y1] = whole;
    const int texelsWide = static_cast<int>(picture.texels);
    const int texelsHigh = static_cast<int>(picture.texelsHigh);
    const float reach = filterReach(picture.texels, x1 - x0);
    const float acrossPerPixel = picture.texels / (x1 - x0);
    const float downPerPixel = picture.texelsHigh / (y1 - y0);
    const std::size_t stride = static_cast<std::size_t>(texelsWide) + 1;
    const std::uint32_t* table = picture.seeThrough.data();
    auto seeThrough = [&](int a0, int b0, int a1, int b1) {
        return table[static_cast<std::size_t>(b1) * stride + static_cast<std::size_t>(a1)] +
               table[static_cast<std::size_t>(b0) * stride + static_cast<std::size_t>(a0)] -
               table[static_cast<std::size_t>(b0) * stride + static_cast<std::size_t>(a1)] -
               table[static_cast<std::size_t>(b1) * stride + static_cast<std::size_t>(a0)];
    };
    const int height = static_cast<int>(h), width = static_cast<int>(w);
    const int tx0 = static_cast<int>(std::ceil(std::max(x0, 0.0f) / tileSize));
    const int ty0 = static_cast<int>(std::ceil(std::max(y0, 0.0f) / tileSize));
    // The texel columns each tile column reads, worked out once.
    coverColumns_.clear();
    for (int tx = tx0; tx * tileSize < width && static_cast<float>((tx + 1) * tileSize) <= x1;
         ++tx) {
        const float left = static_cast<float>(tx * tileSize) - 1;
        const float right = static_cast<float>(std::min((tx + 1) * tileSize, width)) + 1;
        coverColumns_.push_back(
            {static_cast<int>(std::floor((left - x0) * acrossPerPixel - reach)),
             static_cast<int>(std::ceil((right - x0) * acrossPerPixel + reach))});
    }
    bool any = false;
    for (int ty = ty0; ty * tileSize < height && static_cast<float>((ty + 1) * tileSize) <= y1;
         ++ty) {
        const float top = static_cast<float>(std::min((ty + 1) * tileSize, height)) + 1;
        const float bottom = static_cast<float>(ty * tileSize) - 1;
        // t runs down from the picture's top, the screen's y upwards.
        const int b0 = static_cast<int>(std::floor((y1 - top) * downPerPixel - reach));
        const int b1 = static_cast<int>(std::ceil((y1 - bottom) * downPerPixel + reach));
        if (b0 < 0 || b1 > texelsHigh) continue;
        float* row = tileCover_.data() + static_cast<std::size_t>(ty * columns + tx0);
        for (std::size_t i = 0; i < coverColumns_.size(); ++i) {
            const auto [a0, a1] = coverColumns_[i];
            if (row[i] <= depth || a0 < 0 || a1 > texelsWide || seeThrough(a0, b0, a1, b1) != 0)
                continue;
            row[i] = depth;
            any = true;
        }
    }
    return any;
}

// The parts of each sprite that may show in a frame drawn whole on a screen
// `width` by `height` pixels, and both passes' planes a part at a time into
// buffers of their own. Over a grid of tiles, one that a sprite's fully
// opaque texels cover whole (or, for a large picture, its opaque middle)
// hides what lies behind that sprite, by more than the depth buffer can
// confuse, as far as filtering mixes other texels in; a sprite is drawn
// only over one or two rectangles of the tiles where it is not hidden,
// since elsewhere it would fail the depth test at every pixel. False,
// every plane drawn whole, when no tile is covered.
bool ScenePass::leaveOutHidden(int width, int height) {
    trimmed_ = 0;
    if (width <= 0 || height <= 0) return false;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    // Nothing to leave out when no sprite's opaque middle, at the nearest
    // depth there is, is as large as a tile: no extents are worked out.
    float largest = 0;
    const float acrossPerMetre = std::hypot(clipRight_[0], clipRight_[1]) * w / 2;
    const float downPerMetre = std::hypot(clipUp_[0], clipUp_[1]) * h / 2;
    for (std::size_t i = 0; i < std::min(facts_.size(), resolved_.size()); ++i) {
        const Facts& look = facts_[i];
        const float(&cover)[4] = resolved_[i].cover;
        if (look.square && look.opaque)
            largest = std::max(
                largest, std::min((cover[2] - cover[0]) * 2 * look.halfWidth * acrossPerMetre,
                                  (cover[3] - cover[1]) * 2 * look.halfHeight * downPerMetre));
    }
    if (!(nearest_ > 0) || largest / nearest_ < tileSize) return false;
    updateExtents();
    const auto& entries = cache_.entries();
    const int columns = (width + tileSize - 1) / tileSize;
    const int rows = (height + tileSize - 1) / tileSize;
    const float inf = std::numeric_limits<float>::infinity();
    tileCover_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), inf);
    slotDepth_.assign(entries.size(), -inf);
    auto toPixels = [&](const std::array<float, 4>& e) {
        return std::array<float, 4>{(e[0] * 0.5f + 0.5f) * w, (e[1] * 0.5f + 0.5f) * h,
                                    (e[2] * 0.5f + 0.5f) * w, (e[3] * 0.5f + 0.5f) * h};
    };
    auto finite = [](const std::array<float, 4>& r) {
        return std::isfinite(r[0]) && std::isfinite(r[1]) && std::isfinite(r[2]) &&
               std::isfinite(r[3]);
    };
    const Vector3 eye = column(preparedCameraToWorld_, 3);
    const Vector3 forward = normalized(column(preparedCameraToWorld_, 2)) * -1.0f;
    // A plane is hidden only behind cover nearer than the depth that lies
    // this far (of the buffer's whole range) in front of its own.
    const double n = depthNear_, f = depthFar_, margin = 1.0 / 8192;
    bool covered = false;
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        const SceneCache::Entry& entry = entries[slot];
        if (entry.look == SceneCache::none) continue;
        const Facts& look = facts_[entry.look];
        const ResolvedLook& picture = resolved_[entry.look];
        // Only a sprite whose quad the vertex shader can cut is left out.
        if (!look.square || look.texture == 0 || picture.texels <= 0) continue;
        const float depth = scene::dot(entry.centre - eye, forward);
        if (!(depth > 0)) continue;
        const double window = f * (depth - n) / ((f - n) * depth) - margin;
        if (window > 0) slotDepth_[slot] = static_cast<float>(n * f / (f - window * (f - n)));
        // Only a fully opaque sprite hides anything.
        const float(&cover)[4] = picture.cover;
        if (!look.opaque || !(cover[2] > cover[0] && cover[3] > cover[1])) continue;
        const std::array<float, 4> whole = toPixels(extents_[slot]);
        // Too small to cover a tile, or reaching behind the eye.
        if (!finite(whole) || whole[2] - whole[0] < tileSize || whole[3] - whole[1] < tileSize)
            continue;
        if (!picture.seeThrough.empty()) {
            covered |= coverTiles(whole, picture, depth, w, h, columns);
            continue;
        }
        const float reach = filterReach(picture.texels, whole[2] - whole[0]);
        const float s0 = cover[0] + reach / picture.texels;
        const float s1 = cover[2] - reach / picture.texels;
        const float t0 = cover[1] + reach / picture.texelsHigh;
        const float t1 = cover[3] - reach / picture.texelsHigh;
        if (!(s1 > s0 && t1 > t0)) continue;
        // (s, t) runs down from the picture's top; the quad runs upwards.
        std::array<float, 4> middle =
            toPixels(quadExtent(entry, look, {s0 * 2 - 1, 1 - t1 * 2, s1 * 2 - 1, 1 - t0 * 2}));
        if (!finite(middle)) continue;
        // A pixel's worth of rounding to spare.
        middle = {middle[0] + 1, middle[1] + 1, middle[2] - 1, middle[3] - 1};
        const int x0 = static_cast<int>(std::ceil(std::clamp(middle[0], 0.0f, w) / tileSize));
        const int y0 = static_cast<int>(std::ceil(std::clamp(middle[1], 0.0f, h) / tileSize));
        for (int y = y0;
             y < rows && static_cast<float>(std::min((y + 1) * tileSize, height)) <= middle[3]; ++y)
            for (int x = x0; x < columns &&
                             static_cast<float>(std::min((x + 1) * tileSize, width)) <= middle[2];
                 ++x) {
                float& cover = tileCover_[static_cast<std::size_t>(y * columns + x)];
                cover = std::min(cover, depth);
                covered = true;
            }
    }
    if (!covered) return false;

    // Each sprite over the rectangle of the tiles its extent touches (a
    // pixel wider) where nothing nearer covers them, or over two such
    // rectangles one above the other where those leave out much more;
    // nothing of it when there are none, on the screen or not hidden.
    slotParts_.assign(entries.size() * 2, 0);
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        slotParts_[slot * 2] = wholePart;
        const float depth = slotDepth_[slot];
        if (depth == -inf) continue;
        const std::array<float, 4> e = toPixels(extents_[slot]);
        if (!finite(e) || !(e[2] > e[0] && e[3] > e[1])) continue;
        TileBox pieces[2];
        if (e[2] >= -1 && e[0] <= w + 1 && e[3] >= -1 && e[1] <= h + 1) {
            auto tileOf = [&](float p, float size) {
                return static_cast<int>(std::floor(std::clamp(p, 0.0f, size - 1) / tileSize));
            };
            splitOpen(tileOf(e[0] - 1, w), tileOf(e[1] - 1, h), tileOf(e[2] + 1, w),
                      tileOf(e[3] + 1, h), columns, depth, pieces);
        }
        // A rectangle of tiles in 65535ths of the quad, rounded outwards; t
        // runs down from the quad's top.
        auto partOf = [&](const TileBox& box) -> Part {
            if (box.empty()) return 0;
            const float px0 = static_cast<float>(box.x0 * tileSize);
            const float px1 = static_cast<float>(std::min((box.x1 + 1) * tileSize, width));
            const float py0 = static_cast<float>(box.y0 * tileSize);
            const float py1 = static_cast<float>(std::min((box.y1 + 1) * tileSize, height));
            auto low = [](double fraction) {
                return static_cast<Part>(std::clamp(std::floor(fraction * 65535), 0.0, 65535.0));
            };
            auto high = [](double fraction) {
                return static_cast<Part>(std::clamp(std::ceil(fraction * 65535), 0.0, 65535.0));
            };
            const double across = e[2] - e[0], down = e[3] - e[1];
            return low((px0 - e[0]) / across) | low((e[3] - py1) / down) << 16 |
                   high((px1 - e[0]) / across) << 32 | high((e[3] - py0) / down) << 48;
        };
        slotParts_[slot * 2] = partOf(pieces[0]);
        slotParts_[slot * 2 + 1] = partOf(pieces[1]);
        if (slotParts_[slot * 2] != wholePart || slotParts_[slot * 2 + 1] != 0) ++trimmed_;
    }
    // Each pass's planes again, a plane once for each of its parts, in runs
    // of one texture.
    auto cut = [&](const std::vector<Instance>& instances, const std::vector<Run>& runs,
                   auto slotOf, std::vector<Instance>& cutInstances, std::vector<Run>& cutRuns,
                   const Buffer& buffer, std::size_t& capacity, const Buffer& partsBuffer) {
        cutInstances.clear();
        cutRuns.clear();
        orderedParts_.clear();
        for (const Run& run : runs) {
            Run piece{run.texture, cutInstances.size(), 0};
            for (std::size_t i = run.first; i < run.first + run.count; ++i) {
                const std::size_t slot = slotOf(i);
                for (std::size_t k = slot * 2; k < slot * 2 + 2; ++k) {
                    if (slotParts_[k] == 0) continue;
                    cutInstances.push_back(instances[i]);
                    orderedParts_.push_back(slotParts_[k]);
                }
            }
            piece.count = cutInstances.size() - piece.first;
            if (piece.count > 0) cutRuns.push_back(piece);
        }
        upload(buffer, capacity, cutInstances, 0);
        glBindBuffer(GL_ARRAY_BUFFER, partsBuffer.get());
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(orderedParts_.size() * sizeof(Part)),
                     orderedParts_.data(), GL_DYNAMIC_DRAW);
    };
    cut(
        blendedInstances_, blendedRuns_,
        [&](std::size_t i) { return static_cast<std::uint32_t>(ordered_[i]); },
        cutBlendedInstances_, cutBlendedRuns_, cutBlended_, cutBlendedCapacity_, blendedParts_);
    cut(
        opaqueInstances_, opaqueRuns_, [&](std::size_t i) { return opaqueOrder_[i]; },
        cutOpaqueInstances_, cutOpaqueRuns_, cutOpaque_, cutOpaqueCapacity_, opaqueParts_);
    return true;
}

// The tiles from (x0, y0) to (x1, y1) (inclusive) that cover nearer than
// `depth` does not hide, as one rectangle around them or, where two leave
// out at least a fifth more, as two, one above the other.
void ScenePass::splitOpen(int x0, int y0, int x1, int y1, int columns, float depth,
                          TileBox (&pieces)[2]) {
    // Each row's open tiles, and those of the rows from each to the last.
    const std::size_t rows = static_cast<std::size_t>(y1 - y0 + 1);
    rowBoxes_.assign(rows, TileBox{});
    for (int y = y0; y <= y1; ++y) {
        const float* row = tileCover_.data() + static_cast<std::size_t>(y * columns);
        int first = x0, last = x1;
        while (first <= x1 && row[first] < depth) ++first;
        if (first > x1) continue;
        while (row[last] < depth) --last;
        rowBoxes_[static_cast<std::size_t>(y - y0)] = TileBox{first, y, last, y};
    }
    fromRow_.assign(rows, TileBox{});
    TileBox after;
    for (std::size_t r = rows; r-- > 0;) {
        after.add(rowBoxes_[r]);
        fromRow_[r] = after;
    }
    pieces[0] = after;
    pieces[1] = TileBox{};
    long best = after.area() * 4 / 5;
    TileBox before;
    for (std::size_t r = 1; r < rows; ++r) {
        before.add(rowBoxes_[r - 1]);
        const long area = before.area() + fromRow_[r].area();
        if (area < best) best = area, pieces[0] = before, pieces[1] = fromRow_[r];
    }
}

void ScenePass::draw(ScenePassStats& stats, const std::array<float, 4>* region) {
    if (!region) mergeWaiting();
    if (ordered_.empty() && added_.empty()) return;
    const Buffer* opaque = &opaque_;
    const Buffer* blended = &blended_;
    const std::vector<Run>* opaqueRuns = &opaqueRuns_;
    const std::vector<Run>* blendedRuns = &blendedRuns_;
    stats.drawn = blendedInstances_.size();
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Parts of the sprites for a frame drawn whole; a region's planes are
    // drawn whole.
    bool parts = false;
    if (!region && leaveOutHidden_) {
        if (hiddenRevision_ != revision_ || hiddenWidth_ != viewport[2] ||
            hiddenHeight_ != viewport[3]) {
            const auto start = std::chrono::steady_clock::now();
            hidden_ = leaveOutHidden(viewport[2], viewport[3]);
            hiddenRevision_ = revision_;
            hiddenWidth_ = viewport[2];
            hiddenHeight_ = viewport[3];
            stats.preparation += std::chrono::steady_clock::now() - start;
        }
        parts = hidden_;
        if (parts) {
            stats.trimmed = trimmed_;
            opaque = &cutOpaque_;
            blended = &cutBlended_;
            opaqueRuns = &cutOpaqueRuns_;
            blendedRuns = &cutBlendedRuns_;
        }
    } else if (region) {
        const auto start = std::chrono::steady_clock::now();
        updateExtents();
        selectRegion(*region);
        opaque = &regionOpaque_;
        blended = &regionBlended_;
        opaqueRuns = &regionOpaqueRuns_;
        blendedRuns = &regionBlendedRuns_;
        stats.drawn = regionBlendedInstances_.size();
        stats.preparation += std::chrono::steady_clock::now() - start;
        if (stats.drawn == 0) return;
    }
    const scene::Matrix4& cameraToWorld = preparedCameraToWorld_;
    const Vector3 eye = column(cameraToWorld, 3);
    const Vector3 right = normalized(column(cameraToWorld, 0));
    const Vector3 up = normalized(column(cameraToWorld, 1));

    glUseProgram(program_.get());
    // The view's projection with its depth mapped to [depthNear_, depthFar_]:
    // positions on the screen stay exactly as the view projects them.
    scene::Matrix4 fitted = preparedViewProjection_;
    {
        const scene::Matrix4 view = scene::rigidInverse(cameraToWorld);
        const float n = depthNear_, f = depthFar_;
        const float a = -(f + n) / (f - n), b = -2 * f * n / (f - n);
        for (int c = 0; c < 4; ++c)
            fitted.columns[c][2] = a * view.columns[c][2] + (c == 3 ? b : 0.0f);
    }
    setMatrixUniform(viewProjection_, fitted);
    glUniform3f(eye_, eye.x, eye.y, eye.z);
    glUniform3f(cameraRight_, right.x, right.y, right.z);
    glUniform3f(cameraUp_, up.x, up.y, up.z);
    glUniform1f(viewportWidth_, static_cast<float>(viewport[2]));
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, looksTexture_.get());
    usePremultipliedBlending();
    glBindVertexArray(vertexArray_.get());
    glEnable(GL_DEPTH_TEST);
    // A stencil test that passes everything and writes nothing: Mesa's
    // software renderer skips a block of pixels that fails the depth test
    // only when a stencil test is on, and shades it in vain otherwise.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0);
    glStencilMask(0);

    glUniform1i(outline_, parts ? 1 : 0);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glUniform1i(blendPass_, 0);
    drawRuns(*opaque, *opaqueRuns, parts ? &opaqueParts_ : nullptr, stats);

    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LESS);
    glUniform1i(blendPass_, 1);
    drawRuns(*blended, *blendedRuns, parts ? &blendedParts_ : nullptr, stats);

    glDisable(GL_STENCIL_TEST);
    glStencilMask(0xFF);
    glBindVertexArray(0);
}

}  // namespace render
