#include "platform/desktop/Offscreen.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace desktop {

std::shared_ptr<graphics::Bitmap> OffscreenViewRenderer::renderView(const ui::SceneView& view, double scale) {
    if (renderer_ == nullptr) return nullptr;
    int width = static_cast<int>(std::lround(view.bounds().width() * scale));
    int height = static_cast<int>(std::lround(view.bounds().height() * scale));
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width <= 0 || height <= 0 || width > maxSize || height > maxSize) return nullptr;

    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    GLuint framebuffer = 0, colour = 0, depth = 0;
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colour);
    glGenRenderbuffers(1, &depth);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);

    std::shared_ptr<graphics::Bitmap> bitmap;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        renderer_->drawSceneView(view, width, height);
        bitmap = std::make_shared<graphics::Bitmap>(width, height);
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
        // OpenGL's first row is the bottom one; ours is the top.
        std::size_t stride = bitmap->bytesPerRow();
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap->data() + static_cast<std::size_t>(y) * stride,
                        rows.data() + static_cast<std::size_t>(height - 1 - y) * stride, stride);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
    glDeleteRenderbuffers(1, &depth);
    glDeleteRenderbuffers(1, &colour);
    glDeleteFramebuffers(1, &framebuffer);
    return bitmap;
}

}  // namespace desktop
