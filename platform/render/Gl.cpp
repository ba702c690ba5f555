#include "platform/render/Gl.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace render {

void deleteBuffer(GLuint name) { glDeleteBuffers(1, &name); }
void deleteTexture(GLuint name) { glDeleteTextures(1, &name); }
void deleteVertexArray(GLuint name) { glDeleteVertexArrays(1, &name); }
void deleteFramebuffer(GLuint name) { glDeleteFramebuffers(1, &name); }
void deleteRenderbuffer(GLuint name) { glDeleteRenderbuffers(1, &name); }
void deleteProgram(GLuint name) { glDeleteProgram(name); }

Buffer makeBuffer() {
    GLuint name = 0;
    glGenBuffers(1, &name);
    return Buffer(name);
}

Texture makeTexture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    return Texture(name);
}

VertexArray makeVertexArray() {
    GLuint name = 0;
    glGenVertexArrays(1, &name);
    return VertexArray(name);
}

Framebuffer makeFramebuffer() {
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    return Framebuffer(name);
}

Renderbuffer makeRenderbuffer() {
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    return Renderbuffer(name);
}

RenderTarget makeRenderTarget(int width, int height, int samples) {
    RenderTarget target{makeFramebuffer(), makeRenderbuffer(), makeRenderbuffer()};
    glBindRenderbuffer(GL_RENDERBUFFER, target.color.get());
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth.get());
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              target.color.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              target.depth.get());
    return target;
}

namespace {
std::string shaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<std::size_t>(std::max(length, 1)));
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log.data();
}

std::string programLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<std::size_t>(std::max(length, 1)));
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log.data();
}

platform::Result<GLuint> compile(std::string_view name, GLenum stage, const char* source) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        std::string log = shaderLog(shader);
        glDeleteShader(shader);
        return platform::fail("the " + std::string(name) +
                              (stage == GL_VERTEX_SHADER ? " vertex" : " fragment") +
                              " shader does not compile here: " + log);
    }
    return shader;
}
}  // namespace

platform::Result<Program> buildProgram(std::string_view name, const char* vertexSource,
                                       const char* fragmentSource) {
    auto vertex = compile(name, GL_VERTEX_SHADER, vertexSource);
    if (!vertex) return platform::fail(vertex.error());
    auto fragment = compile(name, GL_FRAGMENT_SHADER, fragmentSource);
    if (!fragment) {
        glDeleteShader(vertex.value());
        return platform::fail(fragment.error());
    }
    Program program(glCreateProgram());
    glAttachShader(program.get(), vertex.value());
    glAttachShader(program.get(), fragment.value());
    glLinkProgram(program.get());
    glDeleteShader(vertex.value());
    glDeleteShader(fragment.value());
    GLint ok = GL_FALSE;
    glGetProgramiv(program.get(), GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE)
        return platform::fail("the " + std::string(name) +
                              " shaders do not link here: " + programLog(program.get()));
    return program;
}

void setMatrixUniform(GLint location, const scene::Matrix4& matrix) {
    std::array<GLfloat, 16> values;
    for (std::size_t c = 0; c < 4; ++c)
        for (std::size_t r = 0; r < 4; ++r) values[c * 4 + r] = matrix.columns[c][r];
    glUniformMatrix4fv(location, 1, GL_FALSE, values.data());
}

Texture makeTableTexture() {
    Texture texture = makeTexture();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return texture;
}

Texture makeSamplingTexture() {
    Texture texture = makeTexture();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

void usePremultipliedBlending() {
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);
}

}  // namespace render
