#include "platform/offscreen/EglScreenRenderer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "platform/render/Gl.h"
#include "platform/render/Offscreen.h"

namespace offscreen {

namespace {

bool hasExtension(const char* extensions, const char* name) {
    if (extensions == nullptr) return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += length) {
        bool startsWord = p == extensions || p[-1] == ' ';
        bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord) return true;
    }
    return false;
}

std::string eglErrorName(EGLint error) {
    switch (error) {
        case EGL_SUCCESS: return "no error";
        case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
        case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
        case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
        case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
        case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
        case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
        case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
        case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
        case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
        default: break;
    }
    std::ostringstream out;
    out << "EGL error 0x" << std::hex << error;
    return out.str();
}

platform::Error eglFailure(const std::string& what) {
    return platform::fail(what + " (" + eglErrorName(eglGetError()) + ")");
}

// A view renderer that draws through its owner while the owner lives.
class ViewRendererLink : public ui::ViewRenderer {
public:
    ViewRendererLink(EglScreenRenderer& owner, std::weak_ptr<bool> alive)
        : owner_(owner), alive_(std::move(alive)) {}

    platform::Result<std::shared_ptr<const graphics::Bitmap>> renderView(const ui::SceneView& view,
                                                                         double scale) override {
        if (alive_.expired()) return platform::fail("the screen renderer has been shut down");
        return owner_.renderView(view, scale);
    }

private:
    EglScreenRenderer& owner_;
    std::weak_ptr<bool> alive_;
};

}  // namespace

struct EglScreenRenderer::Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    // Only where a context cannot be current without a surface.
    EGLSurface surface = EGL_NO_SURFACE;
    // Why the context could not be made, once that has been tried.
    std::optional<std::string> failure;
    std::unique_ptr<render::Renderer> renderer;
    render::OffscreenTarget target;
    ui::RenderOptions options;

    platform::Result<void> open();
    void close();
    bool makeCurrent() { return eglMakeCurrent(display, surface, surface, context) == EGL_TRUE; }
};

platform::Result<void> EglScreenRenderer::Egl::open() {
    // Mesa's surfaceless platform needs neither a display server nor a GPU;
    // the default display is the fallback for other EGL implementations.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay != nullptr) {
            display =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr) != EGL_TRUE)
                display = EGL_NO_DISPLAY;
        }
    }
    if (display == EGL_NO_DISPLAY) {
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display == EGL_NO_DISPLAY) return eglFailure("EGL offers no display");
        if (eglInitialize(display, nullptr, nullptr) != EGL_TRUE) {
            display = EGL_NO_DISPLAY;
            return eglFailure("EGL could not be initialised");
        }
    }
    if (eglBindAPI(EGL_OPENGL_ES_API) != EGL_TRUE)
        return eglFailure("EGL does not offer OpenGL ES");

    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    const bool surfaceless = hasExtension(extensions, "EGL_KHR_surfaceless_context");
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_ES3_BIT,
                                       EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, configAttributes, &config, 1, &configs) != EGL_TRUE ||
        configs == 0) {
        if (!surfaceless || !hasExtension(extensions, "EGL_KHR_no_config_context"))
            return eglFailure("EGL has no configuration for OpenGL ES 3");
        config = EGL_NO_CONFIG_KHR;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
                                        EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) return eglFailure("EGL could not make an OpenGL ES 3.0 context");
    // We draw into our own framebuffer object; a surface is made only where
    // a context cannot be current without one.
    if (!surfaceless) {
        const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
        if (surface == EGL_NO_SURFACE) return eglFailure("EGL could not make an offscreen surface");
    }
    if (!makeCurrent()) return eglFailure("the OpenGL ES context could not be made current");

    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr || std::strncmp(version, "OpenGL ES 3", 11) != 0)
        return platform::fail(std::string("the context is not OpenGL ES 3 but ") +
                              (version ? version : "unknown"));
    auto made = render::Renderer::make(options);
    if (!made) return platform::fail(made.error());
    renderer = std::move(made).value();
    return {};
}

void EglScreenRenderer::Egl::close() {
    if (display == EGL_NO_DISPLAY) return;
    // GL objects go while their context is current.
    if (context != EGL_NO_CONTEXT && makeCurrent()) {
        renderer.reset();
        target = render::OffscreenTarget{};
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    // The display stays initialised: it is one for the whole process, and
    // the next renderer initialises it again at no cost. Terminating it
    // would unload Mesa's driver, whose few lasting allocations would then
    // look leaked to the leak checker.
    eglReleaseThread();
    display = EGL_NO_DISPLAY;
    context = EGL_NO_CONTEXT;
    surface = EGL_NO_SURFACE;
}

EglScreenRenderer::EglScreenRenderer(const ui::RenderOptions& options)
    : egl_(std::make_unique<Egl>()), alive_(std::make_shared<bool>(true)) {
    egl_->options = options;
}

EglScreenRenderer::~EglScreenRenderer() { egl_->close(); }

platform::Result<void> EglScreenRenderer::prepare() {
    if (egl_->renderer) {
        if (!egl_->makeCurrent())
            return eglFailure("the OpenGL ES context could not be made current");
        return {};
    }
    if (egl_->failure) return platform::fail(*egl_->failure);
    auto opened = egl_->open();
    if (!opened) {
        egl_->failure = "pictures cannot be rendered here: " + opened.error();
        egl_->close();
        return platform::fail(*egl_->failure);
    }
    return {};
}

render::Renderer* EglScreenRenderer::renderer() { return egl_->renderer.get(); }

std::shared_ptr<ui::ViewRenderer> EglScreenRenderer::viewRenderer() {
    return std::make_shared<ViewRendererLink>(*this, alive_);
}

template <class Draw>
platform::Result<std::shared_ptr<const graphics::Bitmap>> EglScreenRenderer::renderInto(
    graphics::Size points, double scale, Draw draw) {
    TRY_LET(size, render::pictureSize(points, scale));
    TRY(prepare());
    TRY_LET(picture, egl_->target.capture(size, [&](int width, int height) {
        draw(*egl_->renderer, width, height);
    }));
    return std::shared_ptr<const graphics::Bitmap>(std::move(picture));
}

platform::Result<std::shared_ptr<const graphics::Bitmap>> EglScreenRenderer::renderFrame(
    const ui::FrameDescription& frame, double scale) {
    if (!frame.sceneView)
        return platform::fail("there is nothing to picture: the application has not launched");
    return renderInto(frame.screenSize, scale, [&](render::Renderer& renderer, int w, int h) {
        renderer.drawFrame(frame, w, h);
    });
}

platform::Result<std::shared_ptr<const graphics::Bitmap>> EglScreenRenderer::renderView(
    const ui::SceneView& view, double scale) {
    return renderInto(view.bounds().size, scale, [&](render::Renderer& renderer, int w, int h) {
        renderer.drawSceneView(view, w, h);
    });
}

}  // namespace offscreen
