// The browser program's entry while the browser host is being written: it
// proves the chain from the page to the pixels. It makes the WebGL 2
// context, draws the simulated room with a few emoji hanging in it through
// the shared renderer, keeps a drawing in the browser's storage, and, in an
// immersive-ar session, draws the emoji into the XR layer over the camera
// with the pose and projection of each XR frame.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/web/CanvasBackend.h"
#include "platform/render/Gl.h"
#include "platform/render/Renderer.h"
#include "platform/render/ScenePass.h"
#include "platform/render/TextureCache.h"
#include "platform/scene/Constraint.h"
#include "platform/scene/Material.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/SceneView.h"

// The page's half, in Page.js and Storage.js.
extern "C" {
void scrawlet_page_failed(const char* message);
void scrawlet_page_frame_drawn(int planes);
void scrawlet_xr_offer(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context);
void scrawlet_storage_mount(const char* path);
void scrawlet_storage_persist();
}

namespace {

// Where the drawing is kept: the folder lives in the browser's IndexedDB.
const std::filesystem::path documents = "/home/web_user/Documents";
const std::filesystem::path drawingFile = documents / "scrawlet.scn";

struct Page {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    std::unique_ptr<render::Renderer> renderer;
    ui::SceneView view;
    std::shared_ptr<scene::Scene> world = std::make_shared<scene::Scene>();
    bool inXr = false;
    // The XR frames draw the scene alone, over the camera image.
    std::unique_ptr<render::ScenePass> xrScene;
    render::TextureCache xrTextures;
};

Page& page() {
    static Page instance;
    return instance;
}

std::shared_ptr<graphics::Image> emojiImage(std::string_view emoji, double size) {
    graphics::beginImageContextWithOptions({size, size}, false, 3.0);
    graphics::setCurrentColor(graphics::Color::clear());
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(size);
    graphics::drawStringInRect(emoji, {{0, 0}, {size, size}}, attributes);
    auto image = graphics::getImageFromCurrentImageContext();
    graphics::endImageContext();
    return image;
}

// A short trail of emoji hanging 1.2 m in front of where the camera starts.
void hangEmoji(scene::Scene& world) {
    const std::array<std::string_view, 5> trail = {"🐶", "🌈", "🍕", "🚀", "🌻"};
    for (std::size_t i = 0; i < trail.size(); ++i) {
        auto plane = scene::Plane::planeWithWidth(0.1, 0.1);
        plane->firstMaterial()->diffuse.contents = emojiImage(trail[i], 30);
        auto node = scene::Node::nodeWithGeometry(plane);
        node->setPosition(
            {-0.24f + 0.12f * static_cast<float>(i), 0.05f * static_cast<float>(i % 2), -1.2f});
        node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
        world.rootNode()->addChildNode(node);
    }
}

bool sizeCanvasToPage(int& width, int& height) {
    double cssWidth = 0, cssHeight = 0;
    emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight);
    double ratio = emscripten_get_device_pixel_ratio();
    width = static_cast<int>(cssWidth * ratio);
    height = static_cast<int>(cssHeight * ratio);
    if (width <= 0 || height <= 0) return false;
    int current[2];
    emscripten_get_canvas_element_size("#canvas", &current[0], &current[1]);
    if (current[0] != width || current[1] != height)
        emscripten_set_canvas_element_size("#canvas", width, height);
    page().view.setFrame({{0, 0}, {cssWidth, cssHeight}});
    return true;
}

EM_BOOL drawInline(double /*time*/, void* /*user*/) {
    Page& p = page();
    // While the phone shows the room through its camera, the XR frames draw.
    if (p.inXr) return EM_TRUE;
    int width = 0, height = 0;
    if (!sizeCanvasToPage(width, height)) return EM_TRUE;
    emscripten_webgl_make_context_current(p.context);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    p.renderer->drawSceneView(p.view, width, height);
    scrawlet_page_frame_drawn(static_cast<int>(p.renderer->lastFrame().planes));
    return EM_TRUE;
}

void launch() {
    Page& p = page();
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_TRUE;
    attributes.premultipliedAlpha = EM_TRUE;
    attributes.antialias = EM_TRUE;
    attributes.depth = EM_TRUE;
    p.context = emscripten_webgl_create_context("#canvas", &attributes);
    if (p.context <= 0) {
        scrawlet_page_failed("This browser cannot show Scrawlet: it offers no WebGL 2.");
        return;
    }
    emscripten_webgl_make_context_current(p.context);
    auto renderer = render::Renderer::make();
    if (!renderer) {
        scrawlet_page_failed(
            ("This browser's WebGL 2 cannot run Scrawlet's drawing: " + renderer.error()).c_str());
        return;
    }
    p.renderer = std::move(renderer).value();
    auto scenePass = render::ScenePass::make();
    if (scenePass) p.xrScene = std::move(scenePass).value();

    p.view.setScene(p.world);
    hangEmoji(*p.world);
    p.view.session().run(std::make_shared<ar::WorldTrackingConfiguration>(), ar::RunOptions::none);
    p.view.session().deliverFrame(ar::poseAt({0, 0, 0}, 0, 0));

    emscripten_request_animation_frame_loop(drawInline, nullptr);
    scrawlet_xr_offer(p.context);
}

}  // namespace

extern "C" {

// Storage.js calls this once the documents folder holds what the browser
// kept of it.
EMSCRIPTEN_KEEPALIVE void scrawlet_storage_ready() { launch(); }

// One XR frame: the viewer's camera-to-world transform and projection (16
// numbers each, column-major) and where to draw. `framebuffer` 0 is the
// page's canvas.
EMSCRIPTEN_KEEPALIVE int scrawlet_xr_frame(int framebuffer, int x, int y, int width, int height,
                                           const float* cameraToWorld, const float* projection) {
    Page& p = page();
    if (!p.xrScene) return 0;
    std::array<float, 16> c, q;
    std::copy(cameraToWorld, cameraToWorld + 16, c.begin());
    std::copy(projection, projection + 16, q.begin());
    const scene::Matrix4 camera = scene::Matrix4::fromColumnMajor(c);
    p.view.session().deliverFrame(camera);

    emscripten_webgl_make_context_current(p.context);
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
    glViewport(x, y, width, height);
    glDisable(GL_SCISSOR_TEST);
    // Transparent, so that the camera's picture of the room shows through.
    glClearColor(0, 0, 0, 0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    p.xrTextures.beginFrame();
    render::ScenePassStats drawn = p.xrScene->draw(
        *p.world->rootNode(), camera,
        scene::Matrix4::fromColumnMajor(q) * scene::rigidInverse(camera), p.xrTextures);
    p.xrTextures.endFrame();
    return static_cast<int>(drawn.planes);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_started() { page().inXr = true; }

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_ended() { page().inXr = false; }

// Keeps the drawing in the documents folder and asks the browser to store
// it; returns 0 or the file's size.
EMSCRIPTEN_KEEPALIVE int scrawlet_save_drawing() {
    auto written = page().world->writeToUrl(drawingFile);
    if (!written) {
        scrawlet_page_failed(("The drawing could not be saved: " + written.error()).c_str());
        return 0;
    }
    scrawlet_storage_persist();
    std::error_code error;
    return static_cast<int>(std::filesystem::file_size(drawingFile, error));
}

// Reads the kept drawing back; returns its number of emoji, or -1.
EMSCRIPTEN_KEEPALIVE int scrawlet_load_drawing() {
    auto read = scene::Scene::sceneWithUrl(drawingFile);
    if (!read) return -1;
    return static_cast<int>(read.value()->rootNode()->childNodes().size());
}

}  // extern "C"

int main() {
    graphics::installBackend(graphics::makeCanvasBackend());
    scene::installSceneFileFormat(scene::makeGltfSceneFileFormat());
    setenv("SCRAWLET_RESOURCES", "/resources", 1);
    scrawlet_storage_mount(documents.c_str());
    return 0;
}
