#include "platform/render/SceneShader.h"

#include <string>

namespace render {

namespace {

// Billboards are turned to the viewer here, from the material table.
const char* vertexBody = R"(
layout(location = CORNER_ATTRIBUTE) in vec2 corner;
layout(location = SLOT_ATTRIBUTE) in uint slot;
layout(location = PART_ATTRIBUTE) in vec4 part;
uniform mat4 viewProjection;
uniform vec3 eye;
uniform vec3 cameraRight;
uniform vec3 cameraUp;
uniform float viewportWidth;
uniform highp sampler2D materials;
uniform highp usampler2D planes;
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
    uvec4 plane = texelFetch(planes, ivec2(int(slot % PLANES_PER_ROW), int(slot / PLANES_PER_ROW)), 0);
    vec3 centre = uintBitsToFloat(plane.xyz);
    uint material = plane.w;
    ivec2 at = ivec2(int(material % MATERIALS_PER_ROW) * TEXELS_PER_MATERIAL,
                     int(material / MATERIALS_PER_ROW));
    vec4 a = texelFetch(materials, at, 0);
    vec4 b = texelFetch(materials, at + ivec2(1, 0), 0);
    vec4 c = texelFetch(materials, at + ivec2(2, 0), 0);
    vec4 d = texelFetch(materials, at + ivec2(3, 0), 0);
    vec4 e = texelFetch(materials, at + ivec2(4, 0), 0);
    vec4 f = texelFetch(materials, at + ivec2(5, 0), 0);
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
// The coverage pass keeps every texel that shows: its alpha says how many
// of the pixel's samples it covers, and each covered sample takes the
// colour un-premultiplied, as a whole texel's.
const char* fragmentBody = R"(
precision mediump float;
uniform sampler2D picture;
uniform int drawnPass;
in vec2 uv;
flat in float opacity;
out vec4 fragmentColor;
const float opaqueAlpha = 254.5 / 255.0;
void main() {
    vec4 color = texture(picture, uv) * opacity;
    if (drawnPass == OPAQUE_TEXELS_PASS) {
        if (color.a < opaqueAlpha) discard;
        fragmentColor = vec4(color.rgb, 1.0);
    } else if (drawnPass == COVERAGE_PASS) {
        if (color.a < 0.002) discard;
        fragmentColor = vec4(min(color.rgb / color.a, 1.0), color.a);
    } else {
        if (color.a < 0.002 || (opacity == 1.0 && color.a >= opaqueAlpha)) discard;
        fragmentColor = color;
    }
}
)";

// One triangle over the whole viewport ((-1, -1), (3, -1), (-1, 3)) at the
// far plane, opaque black where it passes the depth test: only the alpha
// is written (SceneShader::makeCoveredSamplesOpaque).
const char* coveredSamplesVertex = R"(
void main() {
    vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
    gl_Position = vec4(corner, 1.0, 1.0);
}
)";

const char* coveredSamplesFragment = R"(
precision mediump float;
out vec4 fragmentColor;
void main() { fragmentColor = vec4(0.0, 0.0, 0.0, 1.0); }
)";

std::string passNumber(SceneShader::Pass pass) { return std::to_string(static_cast<GLint>(pass)); }

// The layout shared with the C++, as the shaders' macros.
std::string withLayout(const char* body) {
    return "#version 300 es\n#define OPAQUE_TEXELS_PASS " +
           passNumber(SceneShader::Pass::opaqueTexels) + "\n#define COVERAGE_PASS " +
           passNumber(SceneShader::Pass::coverage) + "\n#define MATERIALS_PER_ROW " +
           std::to_string(materialsPerRow) + "u\n#define TEXELS_PER_MATERIAL " +
           std::to_string(texelsPerMaterial) + "\n#define PLANES_PER_ROW " +
           std::to_string(PlaneTable::perRow) + "u\n#define CORNER_ATTRIBUTE " +
           std::to_string(cornerAttribute) + "\n#define SLOT_ATTRIBUTE " +
           std::to_string(slotAttribute) + "\n#define PART_ATTRIBUTE " +
           std::to_string(partAttribute) + body;
}

}  // namespace

platform::Result<SceneShader> SceneShader::make() {
    const std::string vertexSource = withLayout(vertexBody);
    const std::string fragmentSource = withLayout(fragmentBody);
    auto program = buildProgram("scene", vertexSource.c_str(), fragmentSource.c_str());
    if (!program) return platform::fail(program.error());
    const std::string coveredVertex = withLayout(coveredSamplesVertex);
    const std::string coveredFragment = withLayout(coveredSamplesFragment);
    auto covered = buildProgram("covered samples", coveredVertex.c_str(), coveredFragment.c_str());
    if (!covered) return platform::fail(covered.error());
    SceneShader shader;
    shader.program_ = std::move(program).value();
    shader.coveredSamples_ = std::move(covered).value();
    const GLuint p = shader.program_.get();
    shader.viewProjection_ = glGetUniformLocation(p, "viewProjection");
    shader.eye_ = glGetUniformLocation(p, "eye");
    shader.cameraRight_ = glGetUniformLocation(p, "cameraRight");
    shader.cameraUp_ = glGetUniformLocation(p, "cameraUp");
    shader.viewportWidth_ = glGetUniformLocation(p, "viewportWidth");
    shader.pass_ = glGetUniformLocation(p, "drawnPass");
    shader.outline_ = glGetUniformLocation(p, "outline");
    glUseProgram(p);
    glUniform1i(glGetUniformLocation(p, "picture"), pictureUnit);
    glUniform1i(glGetUniformLocation(p, "materials"), materialUnit);
    glUniform1i(glGetUniformLocation(p, "planes"), planeUnit);
    return shader;
}

void SceneShader::use() const { glUseProgram(program_.get()); }

void SceneShader::setView(const scene::Matrix4& viewProjection, const scene::Vector3& eye,
                          const scene::Vector3& right, const scene::Vector3& up,
                          float viewportWidth) const {
    setMatrixUniform(viewProjection_, viewProjection);
    glUniform3f(eye_, eye.x, eye.y, eye.z);
    glUniform3f(cameraRight_, right.x, right.y, right.z);
    glUniform3f(cameraUp_, up.x, up.y, up.z);
    glUniform1f(viewportWidth_, viewportWidth);
}

void SceneShader::setPass(Pass pass) const { glUniform1i(pass_, static_cast<GLint>(pass)); }

void SceneShader::setOutline(bool outline) const { glUniform1i(outline_, outline ? 1 : 0); }

void SceneShader::makeCoveredSamplesOpaque() const {
    glUseProgram(coveredSamples_.get());
    glBindVertexArray(0);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_GREATER);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

}  // namespace render
