#include "platform/desktop/DesktopHost.h"

#include <GLES3/gl3.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/ar/CameraRig.h"
#include "platform/automation/Dump.h"
#include "platform/desktop/Keys.h"
#include "platform/desktop/Offscreen.h"
#include "platform/render/Renderer.h"
#include "platform/ui/FileManager.h"
#include "platform/ui/Frame.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"

namespace desktop {

namespace {

constexpr graphics::Size phoneSize{390, 844};
// The mouse among the pointers; fingers have SDL's ids, which are positive.
constexpr ui::PointerInput::PointerId mousePointer = -1;

void say(const std::string& message) { platform::log(message); }

class DesktopHost : public ui::Host {
public:
    explicit DesktopHost(ui::LaunchDescription description)
        : description_(std::move(description)) {}
    int run(ui::Application& application) override;

private:
    bool openWindow();
    void closeWindow();
    void handle(ui::Application& application, const SDL_Event& event);
    void handleKey(ui::Application& application, const SDL_KeyboardEvent& key, bool down);
    void toggleHelp(ui::Application& application);
    void draw(ui::Application& application);
    void writeState(const ui::Application& application);
    graphics::Size windowSize() const;
    double pixelScale() const;

    ui::LaunchDescription description_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::unique_ptr<render::Renderer> renderer_;
    std::shared_ptr<OffscreenViewRenderer> viewRenderer_;
    ar::CameraRig rig_;
    ar::Motion motion_;
    // The mouse and the touch screen's fingers.
    std::unique_ptr<ui::PointerInput> pointers_;
    bool turning_ = false;
    std::shared_ptr<ui::AlertController> help_;
    bool dirty_ = true;
    bool quit_ = false;
    const char* stateFile_ = nullptr;
};

graphics::Size DesktopHost::windowSize() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return {static_cast<double>(w), static_cast<double>(h)};
}

double DesktopHost::pixelScale() const {
    int w = 0, h = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window_, &w, &h);
    SDL_GL_GetDrawableSize(window_, &pw, &ph);
    return w > 0 ? static_cast<double>(pw) / w : 1.0;
}

bool DesktopHost::openWindow() {
    // Touch-screen fingers arrive as touches only, not also as a mouse.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        say(std::string("cannot open a window: ") + SDL_GetError());
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);

    // Phone-shaped, made smaller where the screen is not tall enough.
    double fit = 1.0;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.h > 0) {
        fit =
            std::min({1.0, (usable.h - 40) / phoneSize.height, (usable.w - 40) / phoneSize.width});
        fit = std::max(fit, 0.3);
    }
    window_ = SDL_CreateWindow("Scrawlet", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               static_cast<int>(std::lround(phoneSize.width * fit)),
                               static_cast<int>(std::lround(phoneSize.height * fit)),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window_ == nullptr) {
        say(std::string("cannot open a window: ") + SDL_GetError());
        return false;
    }
    // Small enough for any screen, large enough for the buttons and a picture
    // to share.
    SDL_SetWindowMinimumSize(window_, 200, 240);
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
        say(std::string("cannot draw in the window (OpenGL ES 3.0 is needed): ") + SDL_GetError());
        return false;
    }
    SDL_GL_SetSwapInterval(1);
    auto renderer = render::Renderer::make();
    if (!renderer) {
        say("cannot draw in the window: " + renderer.error());
        return false;
    }
    renderer_ = std::move(renderer).value();
    return true;
}

void DesktopHost::closeWindow() {
    // The renderer's textures belong to the context: they go first.
    if (viewRenderer_) viewRenderer_->detach();
    renderer_.reset();
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
}

int DesktopHost::run(ui::Application& application) {
    stateFile_ = std::getenv("SCRAWLET_STATE_FILE");
    if (!openWindow()) {
        closeWindow();
        return 1;
    }
    // A desktop shows sheets as popovers, has no camera, and its photo
    // library is the pictures folder.
    viewRenderer_ = std::make_shared<OffscreenViewRenderer>(*renderer_);
    ui::LaunchDescription description = description_;
    description.screenSize = windowSize();
    description.scale = pixelScale();
    description.idiom = ui::UserInterfaceIdiom::pad;
    description.hasCamera = false;
    description.documents = ui::xdgUserDirectory("DOCUMENTS");
    description.photoLibrary = ui::xdgUserDirectory("PICTURES");
    description.picturesFolder = description.photoLibrary;
    description.viewRenderer = viewRenderer_;
    application.launch(std::move(description));
    pointers_ = std::make_unique<ui::PointerInput>(application);
    auto previous = SDL_GetPerformanceCounter();
    while (!quit_) {
        SDL_Event event;
        // Wait for input while nothing moves; keep drawing while it does.
        bool moving = motion_.any();
        if (moving ? SDL_PollEvent(&event) : SDL_WaitEventTimeout(&event, 250)) {
            do {
                handle(application, event);
            } while (!quit_ && SDL_PollEvent(&event));
        }
        auto now = SDL_GetPerformanceCounter();
        double seconds = static_cast<double>(now - previous) / SDL_GetPerformanceFrequency();
        previous = now;
        if (rig_.update(motion_, seconds)) dirty_ = true;
        if (pointers_->deliverMoves()) dirty_ = true;
        if (dirty_ && !quit_) {
            draw(application);
            writeState(application);
            dirty_ = false;
        }
    }
    application.terminate();
    closeWindow();
    return 0;
}

void DesktopHost::draw(ui::Application& application) {
    // The tracker delivers a frame for every frame drawn while the session
    // runs.
    if (auto view = application.sceneView()) view->session().deliverFrame(rig_.pose());
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    renderer_->drawFrame(pointers_->describe(), width, height);
    SDL_GL_SwapWindow(window_);
}

void DesktopHost::handle(ui::Application& application, const SDL_Event& event) {
    dirty_ = true;
    switch (event.type) {
        case SDL_QUIT: quit_ = true; break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                ui::Screen::main().setScale(pixelScale());
                auto size = windowSize();
                if (size != ui::Screen::main().bounds().size) application.transitionToSize(size);
            } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                // Keys released elsewhere never arrive; a drag that loses the
                // window is cancelled, like a touch the system takes over.
                motion_ = ar::Motion{};
                turning_ = false;
                pointers_->cancelAll();
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: handleKey(application, event.key, event.type == SDL_KEYDOWN); break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT)
                pointers_->down(mousePointer, {static_cast<double>(event.button.x),
                                               static_cast<double>(event.button.y)});
            else if (event.button.button == SDL_BUTTON_RIGHT)
                turning_ = true;
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT)
                pointers_->up(mousePointer, {static_cast<double>(event.button.x),
                                             static_cast<double>(event.button.y)});
            else if (event.button.button == SDL_BUTTON_RIGHT)
                turning_ = false;
            break;
        case SDL_MOUSEMOTION:
            if (turning_) rig_.drag(event.motion.xrel, event.motion.yrel);
            if (event.motion.state & SDL_BUTTON_LMASK)
                pointers_->move(mousePointer, {static_cast<double>(event.motion.x),
                                               static_cast<double>(event.motion.y)});
            break;
        case SDL_MOUSEWHEEL:
            pointers_->scroll(event.wheel.y > 0 ? -1 : event.wheel.y < 0 ? 1 : 0);
            break;
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP: {
            auto size = windowSize();
            graphics::Point point{event.tfinger.x * size.width, event.tfinger.y * size.height};
            auto id = static_cast<ui::PointerInput::PointerId>(event.tfinger.fingerId);
            if (event.type == SDL_FINGERDOWN)
                pointers_->down(id, point);
            else if (event.type == SDL_FINGERMOTION)
                pointers_->move(id, point);
            else
                pointers_->up(id, point);
            break;
        }
        default: dirty_ = false; break;
    }
}

void DesktopHost::handleKey(ui::Application& application, const SDL_KeyboardEvent& key, bool down) {
    switch (key.keysym.scancode) {
        case SDL_SCANCODE_W: motion_.forward = down; return;
        case SDL_SCANCODE_S: motion_.back = down; return;
        case SDL_SCANCODE_A: motion_.left = down; return;
        case SDL_SCANCODE_D: motion_.right = down; return;
        case SDL_SCANCODE_Q:
            if (down && (key.keysym.mod & KMOD_CTRL)) {
                quit_ = true;
                return;
            }
            motion_.down = down;
            return;
        case SDL_SCANCODE_E: motion_.up = down; return;
        case SDL_SCANCODE_LEFT: motion_.turnLeft = down; return;
        case SDL_SCANCODE_RIGHT: motion_.turnRight = down; return;
        case SDL_SCANCODE_UP: motion_.turnUp = down; return;
        case SDL_SCANCODE_DOWN: motion_.turnDown = down; return;
        default: break;
    }
    if (!down || key.repeat) return;
    switch (key.keysym.sym) {
        case SDLK_r: rig_.reset(); break;
        case SDLK_SPACE: application.sendMotionEnded(ui::EventSubtype::motionShake); break;
        case SDLK_ESCAPE: ui::cancelPresented(application); break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: ui::performDefaultAction(application); break;
        case SDLK_F1: toggleHelp(application); break;
        case SDLK_F11: {
            bool full = SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP;
            SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
            break;
        }
        default: break;
    }
}

void DesktopHost::toggleHelp(ui::Application& application) {
    if (help_ && help_->presentingViewController()) {
        help_->dismissViewControllerAnimated(true, nullptr);
        help_.reset();
        return;
    }
    auto top = application.topViewController();
    if (!top) return;
    help_ = ui::AlertController::alertControllerWithTitle("Keys", helpText(),
                                                          ui::AlertControllerStyle::alert);
    help_->addAction(
        ui::AlertAction::actionWithTitle("Close", ui::AlertActionStyle::cancel, nullptr));
    top->presentViewController(help_, true, nullptr);
}

void DesktopHost::writeState(const ui::Application& application) {
    // For tests that drive the window from outside: the same state a
    // headless script's dump shows, after every change.
    if (stateFile_ == nullptr || *stateFile_ == '\0') return;
    std::string text = automation::dumpState(application).dump() + "\n";
    auto written = platform::writeFileAtomically(
        stateFile_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!written) say(written.error());
}

}  // namespace

std::unique_ptr<ui::Host> makeDesktopHost(ui::LaunchDescription description) {
    return std::make_unique<DesktopHost>(std::move(description));
}

}  // namespace desktop
