#include "platform/render/Renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "platform/graphics/Backend.h"
#include "platform/render/Gl.h"
#include "platform/render/OverlayPass.h"
#include "platform/render/PresentedPainter.h"
#include "platform/render/Room.h"
#include "platform/render/ScenePass.h"
#include "platform/render/TextureCache.h"

namespace render {

namespace {

// With `RenderOptions::uploadInBands`, the bytes of a picture uploaded in
// one frame: 256 rows of a photo kept 2048 pixels wide.
constexpr std::size_t bandBytesPerFrame = 2 << 20;

// A presented screen's layout painted into a texture of the whole target,
// kept while the frame description hands over the same layout.
struct PaintedPanel {
    std::shared_ptr<const ui::PresentedLayout> layout;
    int width = 0;
    int height = 0;
    Texture texture;
};

// The scene view's picture (the camera image and the 3-D scene) as last
// drawn, and what it was drawn from. A frame that changes none of that
// copies the picture instead of drawing every plane again, so that the
// overlay, a menu or an alert over a large drawing costs what it draws.
struct KeptPicture {
    RenderTarget target;
    int width = 0;
    int height = 0;
    bool valid = false;
    const scene::Node* root = nullptr;
    const Backdrop* backdrop = nullptr;
    scene::Matrix4 cameraToWorld;
    scene::Matrix4 viewProjection;
    // The picture uploads since the cache was made (a new picture in an
    // atlas page changes the page's smaller levels of detail), and the
    // scene pass's revision it shows.
    std::size_t uploads = 0;
    std::uint64_t sceneRevision = 0;

    // Framebuffer of `w` by `h` pixels, made anew when the size changed;
    // false when the driver cannot make one.
    bool ensure(int w, int h) {
        if (target.framebuffer && width == w && height == h) return true;
        valid = false;
        target = makeRenderTarget(w, h);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            target = {};
            return false;
        }
        width = w;
        height = h;
        return true;
    }
};

}  // namespace

struct Renderer::Parts {
    std::unique_ptr<Backdrop> backdrop;
    std::unique_ptr<ScenePass> scene;
    std::unique_ptr<OverlayPass> overlay;
    TextureCache textures;
    ThumbnailCache thumbnails;
    std::vector<PaintedPanel> panels;
    KeptPicture kept;
    ui::RenderOptions options;
    // How many samples a pixel the target of the frame drawn has.
    int targetSamples = 0;
    FrameStats stats;

    void beginFrame(int width, int height) {
        textures.beginFrame();
        overlay->beginFrame({static_cast<double>(width), static_cast<double>(height)});
        stats.planes = stats.sceneDrawCalls = 0;
        stats.sceneReordered = false;
        stats.sceneByCoverage = false;
        stats.sceneKept = false;
        stats.scenePlanesDrawn = 0;
        stats.sceneTrimmed = 0;
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
        stats.uploading = t.uploading;
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
            const auto& world = view.scene();
            const scene::Node* root = world && !cameraOnly ? world->rootNode().get() : nullptr;
            ScenePassStats prepared;
            if (root) {
                const bool coverage = options.alphaToCoverage && targetSamples > 1;
                prepared = scene->prepare(*root, cameraToWorld, viewProjection, textures, coverage);
                stats.planes += prepared.planes;
                stats.sceneByCoverage = stats.sceneByCoverage || coverage;
                stats.sceneReordered = stats.sceneReordered || prepared.reordered;
            }
            auto draw = [&](const Extent* region) {
                const scene::Vector3 eye{cameraToWorld.columns[3][0], cameraToWorld.columns[3][1],
                                         cameraToWorld.columns[3][2]};
                backdrop->draw(viewProjection, eye);
                // The scene is drawn over the camera image, never hidden by
                // it.
                glClear(GL_DEPTH_BUFFER_BIT);
                if (root) scene->draw(prepared, w, h, region);
                stats.sceneDrawCalls += prepared.drawCalls;
                stats.scenePlanesDrawn += prepared.drawn;
                stats.sceneTrimmed += prepared.trimmed;
            };
            // A target with several samples a pixel cannot take a copy. The
            // picture is kept only where Mesa draws, where asking GL what
            // is bound costs no wait for a GPU process.
            GLint samples = targetSamples;
            if (options.keepPicture && !cameraOnly && samples == 0)
                glGetIntegerv(GL_SAMPLES, &samples);
            if (samples > 0 && kept.target.framebuffer) kept = {};
            if (!options.keepPicture || cameraOnly || samples > 0)
                draw(nullptr);
            else
                drawKept(root, cameraToWorld, viewProjection, x, y, w, h, draw);
            // With the planes chosen for a region, when there was one.
            stats.scenePreparation += prepared.preparation;
        }
        glDisable(GL_SCISSOR_TEST);
        glViewport(0, 0, width, height);
        if (const auto& hud = view.overlayScene(); hud && !cameraOnly)
            overlay->drawScene(*hud, area, textures);
    }

    // The scene view through the kept picture: drawn into it when anything
    // it shows changed, then copied to (x, y, w, h) of the bound target.
    template <typename Draw>
    void drawKept(const scene::Node* root, const scene::Matrix4& cameraToWorld,
                  const scene::Matrix4& viewProjection, int x, int y, int w, int h,
                  const Draw& draw) {
        GLint target = 0, source = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &source);
        const std::size_t uploads = textures.stats().uploads;
        const bool seenAsBefore = kept.valid && kept.width == w && kept.height == h &&
                                  kept.root == root && kept.backdrop == backdrop.get() &&
                                  kept.cameraToWorld == cameraToWorld &&
                                  kept.viewProjection == viewProjection && kept.uploads == uploads;
        const SceneChange change =
            seenAsBefore ? scene->changeSince(kept.sceneRevision) : SceneChange::everything();
        if (change.kind == SceneChange::Kind::nothing) {
            stats.sceneKept = true;
        } else if (change.kind == SceneChange::Kind::planesAdded && options.redrawRegions) {
            // Planes added, nothing else: drawn again only where they lie,
            // from every plane that touches there, over the kept picture.
            const Extent& a = change.region;
            auto pixel = [](float ndc, int size) {
                const float p = (ndc * 0.5f + 0.5f) * static_cast<float>(size);
                return std::clamp(p, 0.0f, static_cast<float>(size));
            };
            // A pixel's margin, for rounding.
            const int x0 = std::max(0, static_cast<int>(std::floor(pixel(a[0], w))) - 1);
            const int y0 = std::max(0, static_cast<int>(std::floor(pixel(a[1], h))) - 1);
            const int x1 = std::min(w, static_cast<int>(std::ceil(pixel(a[2], w))) + 1);
            const int y1 = std::min(h, static_cast<int>(std::ceil(pixel(a[3], h))) + 1);
            if (x1 > x0 && y1 > y0) {
                const auto toNdc = [](int p, int size) {
                    return static_cast<float>(p) / static_cast<float>(size) * 2 - 1;
                };
                const Extent region{toNdc(x0, w), toNdc(y0, h), toNdc(x1, w), toNdc(y1, h)};
                glBindFramebuffer(GL_FRAMEBUFFER, kept.target.framebuffer.get());
                glScissor(x0, y0, x1 - x0, y1 - y0);
                glViewport(0, 0, w, h);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                draw(&region);
                glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
                glScissor(x, y, w, h);
                glViewport(x, y, w, h);
            }
            kept.sceneRevision = scene->revision();
        } else if (!kept.ensure(w, h)) {
            // No picture to keep: drawn straight into the target.
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
            glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(source));
            draw(nullptr);
            return;
        } else {
            glBindFramebuffer(GL_FRAMEBUFFER, kept.target.framebuffer.get());
            glScissor(0, 0, w, h);
            glViewport(0, 0, w, h);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            draw(nullptr);
            kept.valid = true;
            kept.root = root;
            kept.backdrop = backdrop.get();
            kept.cameraToWorld = cameraToWorld;
            kept.viewProjection = viewProjection;
            kept.uploads = uploads;
            kept.sceneRevision = scene->revision();
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
            glScissor(x, y, w, h);
            glViewport(x, y, w, h);
        }
        glBindFramebuffer(GL_READ_FRAMEBUFFER, kept.target.framebuffer.get());
        glBlitFramebuffer(0, 0, w, h, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(source));
    }

    void drawPresented(std::size_t level, const ui::PresentedFrame& presented,
                       graphics::Size points, const ui::SceneView* view,
                       const graphics::Rect& viewArea, int width, int height) {
        if (panels.size() <= level) panels.resize(level + 1);
        PaintedPanel& panel = panels[level];
        const ui::PresentedLayout& layout = *presented.layout;
        if (!(panel.texture && panel.layout == presented.layout && panel.width == width &&
              panel.height == height)) {
            auto canvas = graphics::backend().makeCanvas(width, height, {});
            if (!canvas) return;
            graphics::AffineTransform toPixels{width / points.width,   0, 0,
                                               height / points.height, 0, 0};
            paintPresented(layout, *canvas, toPixels, thumbnails);
            auto bitmap = canvas->makeBitmap();
            panel = PaintedPanel{presented.layout, width, height, makeSamplingTexture()};
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         bitmap->data());
        }
        // The camera's picture shows through the viewfinder.
        if (layout.viewfinder && view != nullptr) drawView(*view, viewArea, width, height, true);
        overlay->drawPicture({panel.texture.get(), 0, 0, 1, 1},
                             {{0, 0}, {static_cast<double>(width), static_cast<double>(height)}},
                             1.0);
    }
};

Renderer::Renderer() : parts_(std::make_unique<Parts>()) {}

Renderer::~Renderer() = default;

platform::Result<std::unique_ptr<Renderer>> Renderer::make(const ui::RenderOptions& options) {
    std::unique_ptr<Renderer> renderer(new Renderer());
    auto backdrop = makeRoomBackdrop();
    if (!backdrop) return platform::fail(backdrop.error());
    auto scene = ScenePass::make();
    if (!scene) return platform::fail(scene.error());
    auto overlay = OverlayPass::make();
    if (!overlay) return platform::fail(overlay.error());
    renderer->parts_->backdrop = std::move(backdrop).value();
    renderer->parts_->scene = std::move(scene).value();
    renderer->parts_->overlay = std::move(overlay).value();
    renderer->setOptions(options);
    return renderer;
}

void Renderer::drawSceneView(const ui::SceneView& view, int width, int height, int samples) {
    parts_->targetSamples = samples;
    parts_->beginFrame(width, height);
    parts_->drawView(view, {{0, 0}, {static_cast<double>(width), static_cast<double>(height)}},
                     width, height);
    parts_->endFrame();
}

void Renderer::drawFrame(const ui::FrameDescription& frame, int width, int height, int samples) {
    parts_->targetSamples = samples;
    parts_->beginFrame(width, height);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const graphics::Size points = frame.screenSize;
    if (points.width > 0 && points.height > 0) {
        const double sx = width / points.width, sy = height / points.height;
        graphics::Rect area;
        if (frame.sceneView) {
            graphics::Rect view = frame.sceneView->frame();
            area = {{view.origin.x * sx, view.origin.y * sy},
                    {view.width() * sx, view.height() * sy}};
            parts_->drawView(*frame.sceneView, area, width, height);
        }
        for (std::size_t level = 0; level < frame.presented.size(); ++level)
            parts_->drawPresented(level, frame.presented[level], points, frame.sceneView.get(),
                                  area, width, height);
    }
    parts_->panels.resize(frame.presented.size());
    parts_->endFrame();
}

void Renderer::setBackdrop(std::unique_ptr<Backdrop> backdrop) {
    parts_->backdrop = std::move(backdrop);
    parts_->kept.valid = false;
}

void Renderer::setOptions(const ui::RenderOptions& options) {
    parts_->options = options;
    parts_->scene->setOptions(options);
    parts_->textures.setBandBudget(options.uploadInBands ? bandBytesPerFrame : 0);
    parts_->kept.valid = false;
}

void Renderer::setUploadWhole(bool whole) { parts_->textures.setUploadWhole(whole); }

const ui::RenderOptions& Renderer::options() const { return parts_->options; }

const FrameStats& Renderer::lastFrame() const { return parts_->stats; }

void Renderer::releaseTextures() {
    parts_->textures.clear();
    parts_->kept.valid = false;
}

}  // namespace render
