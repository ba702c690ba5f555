// Pictures drawn away from the screen: a framebuffer of our own that the
// renderer draws into and that is read back into a bitmap, top row first.
// The headless front end takes its snapshots this way, and both front ends
// draw the scene view for a shared picture this way.
#pragma once

#include <functional>
#include <memory>

#include "platform/Result.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"
#include "platform/render/Gl.h"

namespace render {

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The whole pixels a picture of `points` takes at `scale`, rounded up as the
// image contexts round them; fails for a picture with no size or one too
// large to draw.
platform::Result<PixelSize> pictureSize(graphics::Size points, double scale);

class OffscreenTarget {
public:
    // Runs `draw` with a framebuffer of `size` bound and reads the result
    // back; the framebuffer bound before is bound again afterwards. The
    // caller's OpenGL ES context must be current.
    platform::Result<std::shared_ptr<graphics::Bitmap>> capture(
        PixelSize size, const std::function<void(int, int)>& draw);

private:
    platform::Result<void> ensure(PixelSize size);

    RenderTarget target_;
    PixelSize size_;
};

}  // namespace render
