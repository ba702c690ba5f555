// The OpenGL ES 3 renderer: the backdrop (the room, or a real camera's
// picture showing through), the 3-D scene, the overlay, and the presented
// panels of a frame description, drawn into the caller's framebuffer while
// the caller's context is current.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/Result.h"
#include "platform/render/Backdrop.h"
#include "platform/ui/Frame.h"
#include "platform/ui/RenderOptions.h"
#include "platform/ui/SceneView.h"

namespace render {

// What the last frame drew, for tests and benchmarks.
struct FrameStats {
    // 3-D planes drawn (a single-sided plane seen from behind is left out
    // by the GPU, and counted here).
    std::size_t planes = 0;
    // Draw calls for the 3-D planes, both passes.
    std::size_t sceneDrawCalls = 0;
    // Whether the planes were put in order again (the scene or the point of
    // view changed), and the main thread's time in the scene pass before
    // its draw calls.
    bool sceneReordered = false;
    // Whether fully opaque planes' soft edges were drawn by sample coverage
    // (`RenderOptions::alphaToCoverage`, into a multisampled target).
    bool sceneByCoverage = false;
    // Whether the scene view's picture was copied from the last frame's,
    // nothing it shows having changed; the planes handed to the GPU (fewer
    // than all when only planes were added and the picture was drawn again
    // only where they lie).
    bool sceneKept = false;
    std::size_t scenePlanesDrawn = 0;
    // Of those, the sprites drawn over less than their whole quad, or not at
    // all, because nearer sprites hide the rest.
    std::size_t sceneTrimmed = 0;
    std::chrono::nanoseconds scenePreparation{0};
    // The picture textures held after the frame.
    std::size_t pictures = 0;
    std::size_t atlasPages = 0;
    std::size_t ownTextures = 0;
    std::size_t textureBytes = 0;
    // Since the renderer was made: pictures uploaded and released.
    std::size_t uploads = 0;
    std::size_t releases = 0;
    // Pictures whose upload in bands is under way: the host draws another
    // frame while there are any (with `RenderOptions::uploadInBands`).
    std::size_t uploading = 0;
};

class Renderer {
public:
    // Builds the shaders in the current context; fails with the reason when
    // the context cannot run them. The backdrop is the simulated room;
    // `options` are the host's choice of what spares its rasteriser work.
    static platform::Result<std::unique_ptr<Renderer>> make(const ui::RenderOptions& options);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // The scene view alone (camera image, scene and overlay), filling a
    // target of `width` by `height` pixels with `samples` a pixel (0 where
    // the host does not know). The host knows its targets: asking GL would
    // wait for a browser's GPU process.
    void drawSceneView(const ui::SceneView& view, int width, int height, int samples = 0);
    // The whole screen as `frame` describes it, filling a target as above.
    void drawFrame(const ui::FrameDescription& frame, int width, int height, int samples = 0);

    // What spares the rasteriser work from now on.
    void setOptions(const ui::RenderOptions& options);
    const ui::RenderOptions& options() const;

    // While set, every picture drawn is uploaded whole, and those under way
    // finished: for pictures taken of the screen, with
    // `RenderOptions::uploadInBands`.
    void setUploadWhole(bool whole);

    // What the scene is drawn over from now on.
    void setBackdrop(std::unique_ptr<Backdrop> backdrop);

    const FrameStats& lastFrame() const;
    // Releases every picture texture, as when memory runs low.
    void releaseTextures();

private:
    Renderer();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace render
