// The scene pass's GLSL program and the layout that the C++ shares with
// it: where the vertex attributes are, and how the material table is laid
// out. The shaders are given these numbers as macros, so one definition
// holds for both sides.
#pragma once

#include "platform/Result.h"
#include "platform/render/Gl.h"
#include "platform/render/PlaneTable.h"
#include "platform/scene/Math.h"

namespace render {

// The material table: a material is six RGBA float texels, 256 to a row:
//   0  right.xyz, facing (0 fixed, 1 to the camera, 2 upright)
//   1  up.xyz, opacity
//   2  where the picture's top-left corner is, its s axis
//   3  its t axis, double-sided (1) or not (0), the picture's width in
//      texels (0 where its quad is drawn whole)
//   4  the part of the picture that is not transparent: s0, t0, s1, t1
//   5  how far its transparent corners reach in from that part's corners,
//      in fractions of its width: top left, top right, bottom right,
//      bottom left
constexpr int materialsPerRow = 256;
constexpr int texelsPerMaterial = 6;

// The plane table (PlaneTable.h): a plane is one unsigned RGBA texel, its
// centre's x, y and z (a float's bits each) and its material's index.

// The vertex attributes: a quad's corner (per vertex); an instance's
// plane (its slot in the plane table) and the part of its quad drawn (per
// instance).
constexpr GLuint cornerAttribute = 0;
constexpr GLuint slotAttribute = 1;
constexpr GLuint partAttribute = 2;

// The texture units: the pictures, the material table and the plane table.
constexpr GLint pictureUnit = 0;
constexpr GLint materialUnit = 1;
constexpr GLint planeUnit = 2;

class SceneShader {
public:
    // What a draw call draws of its planes.
    enum class Pass : GLint {
        // The texels that hide what lies behind them, writing depth.
        opaqueTexels = 0,
        // Everything else that shows, blended over what is drawn.
        blended = 1,
        // Every texel of fully opaque planes, writing depth, its alpha the
        // share of a pixel's samples it covers (with alpha to coverage on).
        coverage = 2,
    };

    static platform::Result<SceneShader> make();

    // Makes the program current.
    void use() const;
    // The view's projection (from world to clip space), the eye and the
    // camera's axes in the world, and the viewport's width in pixels.
    void setView(const scene::Matrix4& viewProjection, const scene::Vector3& eye,
                 const scene::Vector3& right, const scene::Vector3& up, float viewportWidth) const;
    void setPass(Pass pass) const;
    // Whether each quad is drawn as an octagon over its instance's part.
    void setOutline(bool outline) const;

    // After the coverage pass: every sample it drew made opaque. Alpha to
    // coverage leaves the fragment's alpha in each sample it covers, and
    // the target is composited by its alpha (over the camera's picture, or
    // the page). A triangle over the viewport at the far plane passes the
    // depth test only where a plane wrote depth, and writes alpha alone.
    // Leaves its own program and no vertex array bound.
    void makeCoveredSamplesOpaque() const;

private:
    Program program_, coveredSamples_;
    GLint viewProjection_ = -1;
    GLint eye_ = -1;
    GLint cameraRight_ = -1;
    GLint cameraUp_ = -1;
    GLint viewportWidth_ = -1;
    GLint pass_ = -1;
    GLint outline_ = -1;
};

}  // namespace render
