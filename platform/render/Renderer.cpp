#include "platform/render/Renderer.h"

#include <cmath>
#include <optional>

#include "platform/graphics/Backend.h"
#include "platform/render/Gl.h"
#include "platform/render/OverlayPass.h"
#include "platform/render/PresentedPainter.h"
#include "platform/render/Room.h"
#include "platform/render/ScenePass.h"
#include "platform/render/TextureCache.h"
#include "platform/ui/Device.h"

namespace render {

namespace {

bool sameEnvironment(const ui::PresentedEnvironment& a, const ui::PresentedEnvironment& b) {
    return a.screenSize == b.screenSize && a.safeAreaInsets == b.safeAreaInsets &&
           a.idiom == b.idiom && a.pickerFirstRow == b.pickerFirstRow &&
           a.pressedTarget == b.pressedTarget;
}

// A presented controller painted into a texture of the whole target, kept
// while nothing it depends on changes.
struct PaintedPanel {
    std::weak_ptr<ui::ViewController> controller;
    ui::PresentedEnvironment environment;
    std::filesystem::path photoLibrary;
    int width = 0;
    int height = 0;
    Texture texture;
    std::optional<graphics::Rect> viewfinder;
};

}  // namespace

struct Renderer::Parts {
    std::unique_ptr<Room> room;
    std::unique_ptr<ScenePass> scene;
    std::unique_ptr<OverlayPass> overlay;
    TextureCache textures;
    ThumbnailCache thumbnails;
    std::vector<PaintedPanel> panels;
    FrameStats stats;

    void beginFrame(int width, int height) {
        textures.beginFrame();
        overlay->beginFrame({static_cast<double>(width), static_cast<double>(height)});
        stats.planes = stats.sceneDrawCalls = 0;
        stats.sceneReordered = false;
        stats.scenePreparation = {};
    }

    void endFrame() {
        textures.endFrame();
        overlay->endFrame();
        TextureStats t = textures.stats();
        stats.pictures = t.pictures;
        stats.atlasPages = t.atlasPages;
        stats.ownTextures = t.ownTextures;
        stats.textureBytes = t.bytes;
        stats.uploads = t.uploads;
        stats.releases = t.releases;
    }

    // The scene view over `area` (pixels, origin top-left) of a target of
    // `width` by `height` pixels.
    // With `cameraOnly` the camera image alone, as a camera's viewfinder
    // shows it.
    void drawView(const ui::SceneView& view, const graphics::Rect& area, int width, int height,
                  bool cameraOnly = false) {
        const int x = static_cast<int>(std::lround(area.origin.x));
        const int w = static_cast<int>(std::lround(area.width()));
        const int h = static_cast<int>(std::lround(area.height()));
        const int y = height - static_cast<int>(std::lround(area.origin.y)) - h;
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, w, h);
        glViewport(x, y, w, h);
        glClearColor(0, 0, 0, 1);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        graphics::Rect frame = view.frame();
        if (frame.width() > 0 && frame.height() > 0) {
            const scene::Matrix4 cameraToWorld = view.pointOfView()->worldTransform();
            const scene::Matrix4 viewProjection =
                view.projectionMatrix() * scene::rigidInverse(cameraToWorld);
            const scene::Vector3 eye{cameraToWorld.columns[3][0], cameraToWorld.columns[3][1],
                                     cameraToWorld.columns[3][2]};
            room->draw(viewProjection, eye);
            // The scene is drawn over the camera image, never hidden by it.
            glClear(GL_DEPTH_BUFFER_BIT);
            if (const auto& world = view.scene(); world && !cameraOnly) {
                ScenePassStats drawn =
                    scene->draw(*world->rootNode(), cameraToWorld, viewProjection, textures);
                stats.planes += drawn.planes;
                stats.sceneDrawCalls += drawn.drawCalls;
                stats.sceneReordered = stats.sceneReordered || drawn.reordered;
                stats.scenePreparation += drawn.preparation;
            }
        }
        glDisable(GL_SCISSOR_TEST);
        glViewport(0, 0, width, height);
        if (const auto& hud = view.overlayScene(); hud && !cameraOnly)
            overlay->drawScene(*hud, area, textures);
    }

    void drawPresented(std::size_t level, const std::shared_ptr<ui::ViewController>& controller,
                       const ui::PresentedEnvironment& environment, const ui::SceneView* view,
                       const graphics::Rect& viewArea, int width, int height) {
        if (panels.size() <= level) panels.resize(level + 1);
        PaintedPanel& panel = panels[level];
        const auto& library = ui::Device::current().photoLibrary;
        bool current = panel.texture && panel.controller.lock() == controller &&
                       panel.width == width && panel.height == height &&
                       panel.photoLibrary == library &&
                       sameEnvironment(panel.environment, environment);
        if (!current) {
            ui::PresentedLayout layout = ui::layoutPresented(*controller, environment);
            auto canvas = graphics::backend().makeCanvas(width, height, {});
            if (!canvas) return;
            graphics::AffineTransform toPixels{width / environment.screenSize.width,   0, 0,
                                               height / environment.screenSize.height, 0, 0};
            paintPresented(layout, *canvas, toPixels, thumbnails);
            auto bitmap = canvas->makeBitmap();
            panel = PaintedPanel{controller, environment,           library,          width,
                                 height,     makeSamplingTexture(), layout.viewfinder};
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         bitmap->data());
        }
        // The camera's picture shows through the viewfinder.
        if (panel.viewfinder && view != nullptr) drawView(*view, viewArea, width, height, true);
        overlay->drawPicture({panel.texture.get(), 0, 0, 1, 1},
                             {{0, 0}, {static_cast<double>(width), static_cast<double>(height)}},
                             1.0);
    }
};

Screen screenOf(const ui::Application& application) {
    Screen screen;
    if (!application.windows().empty()) {
        const auto& window = application.windows().front();
        screen.environment.screenSize = window->frame().size;
        screen.environment.safeAreaInsets = window->safeAreaInsets();
    }
    screen.environment.idiom = ui::Device::current().userInterfaceIdiom;
    if (auto view = application.sceneView()) screen.sceneView = view.get();
    if (auto root = application.rootViewController())
        for (auto presented = root->presentedViewController(); presented;
             presented = presented->presentedViewController())
            screen.presented.push_back(presented);
    return screen;
}

Renderer::Renderer() : parts_(std::make_unique<Parts>()) {}

Renderer::~Renderer() = default;

platform::Result<std::unique_ptr<Renderer>> Renderer::make() {
    std::unique_ptr<Renderer> renderer(new Renderer());
    auto room = Room::make();
    if (!room) return platform::fail(room.error());
    auto scene = ScenePass::make();
    if (!scene) return platform::fail(scene.error());
    auto overlay = OverlayPass::make();
    if (!overlay) return platform::fail(overlay.error());
    renderer->parts_->room = std::move(room).value();
    renderer->parts_->scene = std::move(scene).value();
    renderer->parts_->overlay = std::move(overlay).value();
    return renderer;
}

void Renderer::drawSceneView(const ui::SceneView& view, int width, int height) {
    parts_->beginFrame(width, height);
    parts_->drawView(view, {{0, 0}, {static_cast<double>(width), static_cast<double>(height)}},
                     width, height);
    parts_->endFrame();
}

void Renderer::drawScreen(const Screen& screen, int width, int height) {
    parts_->beginFrame(width, height);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    graphics::Size points = screen.environment.screenSize;
    if (screen.sceneView != nullptr && (points.width <= 0 || points.height <= 0))
        points = screen.sceneView->frame().size;
    if (points.width > 0 && points.height > 0) {
        const double sx = width / points.width, sy = height / points.height;
        graphics::Rect area;
        if (screen.sceneView != nullptr) {
            graphics::Rect frame = screen.sceneView->frame();
            area = {{frame.origin.x * sx, frame.origin.y * sy},
                    {frame.width() * sx, frame.height() * sy}};
            parts_->drawView(*screen.sceneView, area, width, height);
        }
        ui::PresentedEnvironment environment = screen.environment;
        environment.screenSize = points;
        for (std::size_t level = 0; level < screen.presented.size(); ++level)
            parts_->drawPresented(level, screen.presented[level], environment, screen.sceneView,
                                  area, width, height);
    }
    parts_->panels.resize(screen.presented.size());
    parts_->endFrame();
}

const FrameStats& Renderer::lastFrame() const { return parts_->stats; }

void Renderer::invalidatePresented() { parts_->panels.clear(); }

void Renderer::releaseTextures() { parts_->textures.clear(); }

}  // namespace render
