// The OpenGL ES 3 renderer: the room as the camera image, the 3-D scene, the
// overlay, and the presented panels over a dimmed screen, drawn into the
// caller's framebuffer while the caller's context is current.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "platform/Result.h"
#include "platform/ui/Application.h"
#include "platform/ui/PresentedLayout.h"
#include "platform/ui/SceneView.h"

namespace render {

// What the screen shows.
struct Screen {
    const ui::SceneView* sceneView = nullptr;
    // The controllers presented over it, outermost first; each is drawn over
    // the ones before.
    std::vector<std::shared_ptr<ui::ViewController>> presented;
    // The screen's size in points, its insets and the kind of device.
    ui::PresentedEnvironment environment;
};

// The screen of `application`: the root controller's scene view, the
// controllers presented over it, and the first window's size and insets.
Screen screenOf(const ui::Application& application);

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
    std::chrono::nanoseconds scenePreparation{0};
    // The picture textures held after the frame.
    std::size_t pictures = 0;
    std::size_t atlasPages = 0;
    std::size_t ownTextures = 0;
    std::size_t textureBytes = 0;
    // Since the renderer was made: pictures uploaded and released.
    std::size_t uploads = 0;
    std::size_t releases = 0;
};

class Renderer {
public:
    // Builds the shaders in the current context; fails with the reason when
    // the context cannot run them.
    static platform::Result<std::unique_ptr<Renderer>> make();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // The scene view alone (camera image, scene and overlay), filling a
    // target of `width` by `height` pixels.
    void drawSceneView(const ui::SceneView& view, int width, int height);
    // The whole screen, filling a target of `width` by `height` pixels.
    void drawScreen(const Screen& screen, int width, int height);

    const FrameStats& lastFrame() const;
    // Forgets the painted panels, as when the photo library has changed.
    void invalidatePresented();
    // Releases every picture texture, as when memory runs low.
    void releaseTextures();

private:
    Renderer();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace render
