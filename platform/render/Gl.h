// The OpenGL ES 3.0 the renderer is written against, with small owners for
// GL objects and a shader-program builder. Only what WebGL 2 also offers is
// used: no client-side arrays, no geometry shaders, no base-instance draws.
#pragma once

#include <GLES3/gl3.h>

#include <string_view>
#include <utility>

#include "platform/Result.h"
#include "platform/scene/Math.h"

namespace render {

// Owns one GL object name and deletes it with `destroy`; moves, never copies.
template <void (*destroy)(GLuint)>
class GlHandle {
public:
    GlHandle() = default;
    explicit GlHandle(GLuint name) : name_(name) {}
    ~GlHandle() { reset(); }
    GlHandle(GlHandle&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    GlHandle& operator=(GlHandle&& other) noexcept {
        if (this != &other) {
            reset();
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    GlHandle(const GlHandle&) = delete;
    GlHandle& operator=(const GlHandle&) = delete;

    GLuint get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    void reset() {
        if (name_ != 0) destroy(name_);
        name_ = 0;
    }

private:
    GLuint name_ = 0;
};

void deleteBuffer(GLuint name);
void deleteTexture(GLuint name);
void deleteVertexArray(GLuint name);
void deleteFramebuffer(GLuint name);
void deleteRenderbuffer(GLuint name);
void deleteProgram(GLuint name);

using Buffer = GlHandle<&deleteBuffer>;
using Texture = GlHandle<&deleteTexture>;
using VertexArray = GlHandle<&deleteVertexArray>;
using Framebuffer = GlHandle<&deleteFramebuffer>;
using Renderbuffer = GlHandle<&deleteRenderbuffer>;
using Program = GlHandle<&deleteProgram>;

Buffer makeBuffer();
Texture makeTexture();
VertexArray makeVertexArray();
Framebuffer makeFramebuffer();
Renderbuffer makeRenderbuffer();

// A framebuffer to draw into away from the screen: colour (RGBA8) and depth
// with stencil, of one size.
struct RenderTarget {
    Framebuffer framebuffer;
    Renderbuffer color;
    Renderbuffer depth;
};
// A render target of `width` by `height` pixels, with `samples` a pixel
// (0: one), left bound.
RenderTarget makeRenderTarget(int width, int height, int samples = 0);

// Compiles and links a program from GLSL ES 3.00 sources. A failure names
// the program and carries the driver's log: a context that cannot run our
// shaders is an environment we cannot draw in, not a programming error.
platform::Result<Program> buildProgram(std::string_view name, const char* vertexSource,
                                       const char* fragmentSource);

// Sets a mat4 uniform from a column-major scene matrix.
void setMatrixUniform(GLint location, const scene::Matrix4& matrix);

// Pictures are premultiplied: blends them over what is drawn, with texture
// unit 0 active and no face culling, as both the scene and the overlay draw.
void usePremultipliedBlending();

// A texture set up for sampling with linear filtering and clamped edges.
Texture makeSamplingTexture();
// A texture bound, read texel by texel (nearest filtering, which an integer
// texture needs to be complete): a table the shaders fetch from.
Texture makeTableTexture();

}  // namespace render
