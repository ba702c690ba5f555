#include "platform/render/Offscreen.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace render {

platform::Result<PixelSize> pictureSize(graphics::Size points, double scale) {
    if (!(scale > 0) || !(points.width > 0) || !(points.height > 0))
        return platform::fail("there is nothing to picture: the screen has no size");
    const double w = std::ceil(points.width * scale), h = std::ceil(points.height * scale);
    if (w > 65536 || h > 65536)
        return platform::fail("a picture of " + std::to_string(static_cast<long long>(w)) + " × " +
                              std::to_string(static_cast<long long>(h)) + " pixels is too large");
    return PixelSize{static_cast<int>(w), static_cast<int>(h)};
}

platform::Result<void> OffscreenTarget::ensure(PixelSize size) {
    if (target_.framebuffer && size.width == size_.width && size.height == size_.height) return {};
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSide);
    if (size.width > maxSide || size.height > maxSide)
        return platform::fail("a picture of " + std::to_string(size.width) + " × " +
                              std::to_string(size.height) +
                              " pixels is larger than this renderer can draw (" +
                              std::to_string(maxSide) + " pixels a side)");
    target_ = makeRenderTarget(size.width, size.height);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        target_ = {};
        return platform::fail("the offscreen framebuffer of " + std::to_string(size.width) + " × " +
                              std::to_string(size.height) + " pixels could not be made");
    }
    size_ = size;
    return {};
}

platform::Result<std::shared_ptr<graphics::Bitmap>> OffscreenTarget::capture(
    PixelSize size, const std::function<void(int, int)>& draw) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    auto restore = [previous] { glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous)); };
    if (auto ready = ensure(size); !ready) {
        restore();
        return platform::fail(ready.error());
    }
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer.get());
    draw(size.width, size.height);
    auto bitmap = std::make_shared<graphics::Bitmap>(size.width, size.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE, bitmap->data());
    restore();
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        std::ostringstream out;
        out << "OpenGL ES reported error 0x" << std::hex << error << " while drawing the picture";
        return platform::fail(out.str());
    }
    // OpenGL's rows run from the bottom up; a bitmap's from the top down.
    const std::size_t rowBytes = bitmap->bytesPerRow();
    std::vector<std::uint8_t> swap(rowBytes);
    for (int y = 0; y < size.height / 2; ++y) {
        std::uint8_t* top = bitmap->data() + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* bottom =
            bitmap->data() + static_cast<std::size_t>(size.height - 1 - y) * rowBytes;
        std::memcpy(swap.data(), top, rowBytes);
        std::memcpy(top, bottom, rowBytes);
        std::memcpy(bottom, swap.data(), rowBytes);
    }
    return bitmap;
}

}  // namespace render
