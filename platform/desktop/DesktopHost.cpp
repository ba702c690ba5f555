#include "platform/desktop/DesktopHost.h"

#include <GLES3/gl3.h>
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/automation/Dump.h"
#include "platform/desktop/Icon.h"
#include "platform/desktop/Keys.h"
#include "platform/offscreen/OffscreenViewRenderer.h"
#include "platform/render/Renderer.h"
#include "platform/ui/FileManager.h"
#include "platform/ui/Frame.h"
#include "platform/ui/KeyboardInput.h"
#include "platform/ui/Locale.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"
#include "platform/ui/RoomControls.h"

namespace desktop {

namespace {

constexpr graphics::Size phoneSize{390, 844};
// The smallest window, in points: a small phone. Every presented screen is
// laid out to fit it.
constexpr int minimumWidth = 320;
constexpr int minimumHeight = 480;
// Pictures (emoji, icons, a shared picture) are made at least as sharp as
// on a phone of three pixels a point, whatever the display's density.
constexpr double minimumPictureScale = 3;
// How long a display may take to answer a connection before the program
// gives up. Only the connection is timed: opening the window and starting
// OpenGL on a display that has answered may take seconds on a busy machine
// with a software renderer, and must not end the program.
constexpr unsigned displayPatienceSeconds = 10;
// The mouse among the pointers; fingers have SDL's ids, which are positive.
constexpr ui::PointerInput::PointerId mousePointer = -1;

void say(const std::string& message) { platform::log(message); }

bool hasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// A display that does not answer must not hang the program: if opening the
// window takes too long, it says so and ends.
extern "C" void displayDidNotAnswer(int) {
    const char message[] =
        "scrawlet: the display does not answer; run a script without one with "
        "scrawlet --headless FILE\n";
    [[maybe_unused]] auto written = ::write(2, message, sizeof message - 1);
    ::_exit(1);
}

// The video drivers for the displays the environment names, Wayland's
// first; SDL's own choice where the user named one.
std::vector<std::string> videoDrivers() {
    if (const char* chosen = std::getenv("SDL_VIDEODRIVER"); chosen && *chosen) return {chosen};
    std::vector<std::string> drivers;
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        drivers.push_back("wayland");
    if (const char* x11 = std::getenv("DISPLAY"); x11 && *x11) drivers.push_back("x11");
    return drivers;
}

// The home folder written as "~", as people read it.
std::string readablePath(const std::filesystem::path& path) {
    std::string text = path.string();
    const char* home = std::getenv("HOME");
    std::string prefix = home ? home : "";
    if (!prefix.empty() && prefix != "/" && text.rfind(prefix + "/", 0) == 0)
        text = "~" + text.substr(prefix.size());
    return text;
}

// The key as browsers name physical keys, which is how the shared keyboard
// handling knows them; empty for keys it has no use for.
std::string keyCode(SDL_Scancode scancode) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return std::string("Key") + static_cast<char>('A' + (scancode - SDL_SCANCODE_A));
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return "F" + std::to_string(1 + (scancode - SDL_SCANCODE_F1));
    switch (scancode) {
        case SDL_SCANCODE_UP: return "ArrowUp";
        case SDL_SCANCODE_DOWN: return "ArrowDown";
        case SDL_SCANCODE_LEFT: return "ArrowLeft";
        case SDL_SCANCODE_RIGHT: return "ArrowRight";
        case SDL_SCANCODE_RETURN: return "Enter";
        case SDL_SCANCODE_KP_ENTER: return "NumpadEnter";
        case SDL_SCANCODE_ESCAPE: return "Escape";
        case SDL_SCANCODE_SPACE: return "Space";
        case SDL_SCANCODE_DELETE: return "Delete";
        case SDL_SCANCODE_TAB: return "Tab";
        default: return {};
    }
}

class DesktopHost : public ui::Host {
public:
    explicit DesktopHost(ui::LaunchDescription description)
        : description_(std::move(description)) {}
    int run(ui::Application& application) override;

private:
    bool openWindow();
    bool openVideo();
    void closeWindow();
    void handle(ui::Application& application, const SDL_Event& event);
    void handleKey(ui::Application& application, const SDL_KeyboardEvent& key, bool down);
    void askToQuit(ui::Application& application);
    void toggleHelp(ui::Application& application);
    void followWindowSize(ui::Application& application);
    void draw(ui::Application& application);
    void updateTitle(const ui::Application& application);
    void writeState(const ui::Application& application);
    graphics::Size windowSize() const;
    double pixelScale() const;
    double pictureScale() const { return std::max(minimumPictureScale, pixelScale()); }

    ui::LaunchDescription description_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::unique_ptr<render::Renderer> renderer_;
    ui::RenderOptions renderOptions_;
    std::shared_ptr<offscreen::OffscreenViewRenderer> viewRenderer_;
    // Walking and looking around the simulated room.
    ui::RoomControls room_;
    // The mouse and the touch screen's fingers, and the keyboard's marker
    // on a presented screen.
    std::unique_ptr<ui::PointerInput> pointers_;
    std::unique_ptr<ui::KeyboardInput> keys_;
    std::shared_ptr<ui::AlertController> help_;
    std::string title_;
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

bool DesktopHost::openVideo() {
    auto drivers = videoDrivers();
    if (drivers.empty()) {
        say("there is no display to open a window on");
        return false;
    }
    std::string failures;
    for (const auto& driver : drivers) {
        ::setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
        failures += (failures.empty() ? "" : "; ") + driver + ": " + SDL_GetError();
        SDL_Quit();
    }
    say("cannot open a window (" + failures +
        "); run a script without a display with scrawlet --headless FILE");
    return false;
}

bool DesktopHost::openWindow() {
    // Touch-screen fingers arrive as touches only, not also as a mouse.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
    // A signal to end (the session closing, a kill) ends the program, as
    // for any other; only the user's own closing of the window asks first.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::signal(SIGALRM, displayDidNotAnswer);
    ::alarm(displayPatienceSeconds);
    bool opened = openVideo();
    // The display answered.
    ::alarm(0);
    std::signal(SIGALRM, SIG_DFL);
    if (opened) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);

        // Phone-shaped, made smaller where the screen is not tall enough.
        double fit = 1.0;
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.h > 0)
            fit = std::min(
                {1.0, (usable.h - 40) / phoneSize.height, (usable.w - 40) / phoneSize.width});
        int width = std::max(minimumWidth, static_cast<int>(std::lround(phoneSize.width * fit)));
        int height = std::max(minimumHeight, static_cast<int>(std::lround(phoneSize.height * fit)));
        window_ = SDL_CreateWindow(
            "Scrawlet", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
            SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (window_ == nullptr) say(std::string("cannot open a window: ") + SDL_GetError());
        opened = window_ != nullptr;
    }
    if (opened) {
        SDL_SetWindowMinimumSize(window_, minimumWidth, minimumHeight);
        if (description_.graphics)
            if (auto icon = loadIcon(*description_.graphics))
                SDL_SetWindowIcon(window_, icon.get());
        context_ = SDL_GL_CreateContext(window_);
        if (context_ == nullptr)
            say(std::string("cannot draw in the window (OpenGL ES 3.0 is needed): ") +
                SDL_GetError());
        opened = context_ != nullptr;
    }
    if (!opened) return false;
    SDL_GL_SetSwapInterval(1);
    // Mesa's software rasteriser, where there is no GPU to draw with, pays
    // for every pixel: its tricks are on there only.
    const char* rasterizer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    renderOptions_ = ui::RenderOptions::forRenderer(rasterizer ? rasterizer : "");
    auto renderer = render::Renderer::make(renderOptions_);
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
    // The window drives this one application until it closes.
    ui::ApplicationScope driven(application);
    stateFile_ = std::getenv("SCRAWLET_STATE_FILE");
    if (!openWindow()) {
        closeWindow();
        return 1;
    }
    // A desktop shows sheets as popovers, has no camera, and its photo
    // library is the pictures folder.
    viewRenderer_ = std::make_shared<offscreen::OffscreenViewRenderer>(*renderer_);
    ui::LaunchDescription description = description_;
    description.screenSize = windowSize();
    description.scale = pictureScale();
    description.idiom = ui::UserInterfaceIdiom::pad;
    description.hasCamera = false;
    description.documents = ui::xdgUserDirectory("DOCUMENTS");
    description.photoLibrary = ui::xdgUserDirectory("PICTURES");
    description.picturesFolder = description.photoLibrary;
    description.viewRenderer = viewRenderer_;
    description.renderOptions = renderOptions_;
    application.launch(std::move(description));
    pointers_ = std::make_unique<ui::PointerInput>(application);
    keys_ = std::make_unique<ui::KeyboardInput>(application, *pointers_);
    auto previous = SDL_GetPerformanceCounter();
    while (!quit_) {
        SDL_Event event;
        // Wait for input while nothing moves; keep drawing while it does.
        bool moving = room_.moving();
        if (moving ? SDL_PollEvent(&event) : SDL_WaitEventTimeout(&event, 250)) {
            do {
                handle(application, event);
            } while (!quit_ && SDL_PollEvent(&event));
        }
        auto now = SDL_GetPerformanceCounter();
        double seconds = static_cast<double>(now - previous) / SDL_GetPerformanceFrequency();
        previous = now;
        if (room_.advance(seconds)) dirty_ = true;
        if (pointers_->deliverMoves()) dirty_ = true;
        followWindowSize(application);
        if (dirty_ && !quit_) {
            draw(application);
            updateTitle(application);
            writeState(application);
            dirty_ = false;
        }
    }
    application.terminate();
    writeState(application);
    closeWindow();
    return 0;
}

// Some window systems (full screen without a window manager among them)
// change the window's size without saying so; the size is checked every
// frame.
void DesktopHost::followWindowSize(ui::Application& application) {
    if (ui::Screen::main().scale() != pictureScale()) ui::Screen::main().setScale(pictureScale());
    auto size = windowSize();
    // Without a window manager nothing keeps the window from getting
    // smaller than the layouts are made for.
    if (size.width < minimumWidth || size.height < minimumHeight) {
        SDL_SetWindowSize(window_, std::max(minimumWidth, static_cast<int>(size.width)),
                          std::max(minimumHeight, static_cast<int>(size.height)));
        size = windowSize();
    }
    if (size != ui::Screen::main().bounds().size) {
        application.transitionToSize(size);
        dirty_ = true;
    }
}

void DesktopHost::draw(ui::Application& application) {
    // The tracker delivers a frame for every frame drawn while the session
    // runs.
    if (auto view = application.sceneView()) view->session().deliverFrame(room_.rig().pose());
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    renderer_->drawFrame(pointers_->describe(), width, height);
    SDL_GL_SwapWindow(window_);
}

// Where the drawing is kept, said once it has been saved or loaded. (In
// plain ASCII: window systems in the C locale drop other titles.)
void DesktopHost::updateTitle(const ui::Application& application) {
    std::string title = "Scrawlet";
    if (auto root = application.rootViewController())
        if (auto file = root->documentFile()) title += " - " + readablePath(*file);
    if (title == title_) return;
    title_ = title;
    SDL_SetWindowTitle(window_, title_.c_str());
}

void DesktopHost::handle(ui::Application& application, const SDL_Event& event) {
    dirty_ = true;
    // SDL stamps each event with the milliseconds since it started.
    const ui::PointerInput::InputTime time{static_cast<double>(event.common.timestamp)};
    switch (event.type) {
        case SDL_QUIT: askToQuit(application); break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                // Keys released elsewhere never arrive; a drag that loses the
                // window is cancelled, like a touch the system takes over.
                room_.release();
                pointers_->cancelAll();
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: handleKey(application, event.key, event.type == SDL_KEYDOWN); break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT)
                pointers_->down(
                    mousePointer,
                    {static_cast<double>(event.button.x), static_cast<double>(event.button.y)},
                    time);
            else if (event.button.button == SDL_BUTTON_RIGHT)
                room_.turnButton(true, {static_cast<double>(event.button.x),
                                        static_cast<double>(event.button.y)});
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT)
                pointers_->up(mousePointer, {static_cast<double>(event.button.x),
                                             static_cast<double>(event.button.y)});
            else if (event.button.button == SDL_BUTTON_RIGHT)
                room_.turnButton(false, {static_cast<double>(event.button.x),
                                         static_cast<double>(event.button.y)});
            break;
        case SDL_MOUSEMOTION:
            room_.mouseMoved(
                {static_cast<double>(event.motion.x), static_cast<double>(event.motion.y)});
            if (event.motion.state & SDL_BUTTON_LMASK)
                pointers_->move(
                    mousePointer,
                    {static_cast<double>(event.motion.x), static_cast<double>(event.motion.y)},
                    time);
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
                pointers_->down(id, point, time);
            else if (event.type == SDL_FINGERMOTION)
                pointers_->move(id, point, time);
            else
                pointers_->up(id, point);
            break;
        }
        default: dirty_ = false; break;
    }
}

void DesktopHost::handleKey(ui::Application& application, const SDL_KeyboardEvent& key, bool down) {
    std::string code = keyCode(key.keysym.scancode);
    if (code.empty()) return;
    ui::KeyPress press{code, down, (key.keysym.mod & KMOD_CTRL) != 0, key.repeat != 0};
    switch (room_.press(*keys_, press)) {
        case ui::KeyOutcome::unused:
        case ui::KeyOutcome::used:
        case ui::KeyOutcome::resetCamera: break;
        case ui::KeyOutcome::showHelp: toggleHelp(application); break;
        case ui::KeyOutcome::toggleFullScreen: {
            bool full = SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP;
            SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
            break;
        }
        case ui::KeyOutcome::quit: askToQuit(application); break;
    }
}

void DesktopHost::askToQuit(ui::Application& application) {
    ui::askBeforeQuitting(application, [this] { quit_ = true; });
}

void DesktopHost::toggleHelp(ui::Application& application) {
    if (help_ && help_->presentingViewController()) {
        help_->dismissViewControllerAnimated(true, nullptr);
        help_.reset();
        return;
    }
    auto top = application.topViewController();
    if (!top) return;
    const auto& texts = ui::platformTexts();
    auto language = ui::textLanguageOf(ui::Locale::preferredLanguages().front());
    help_ = ui::AlertController::alertControllerWithTitle(texts.keys, helpText(language),
                                                          ui::AlertControllerStyle::alert);
    help_->addAction(
        ui::AlertAction::actionWithTitle(texts.close, ui::AlertActionStyle::cancel, nullptr));
    top->presentViewController(help_, true, nullptr);
}

void DesktopHost::writeState(const ui::Application& application) {
    // For tests that drive the window from outside: the same state a
    // headless script's dump shows, after every change.
    if (stateFile_ == nullptr || *stateFile_ == '\0') return;
    automation::Json state = automation::dumpState(application);
    state["window"] = {{"title", title_}, {"pictureScale", pictureScale()}};
    std::string text = state.dump() + "\n";
    auto written = platform::writeFile(
        stateFile_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        platform::WriteOptions::throughSpecialFiles());
    if (!written) say(written.error());
}

}  // namespace

ui::HostChoice hostChoice() {
    return {"desktop", "", "scrawlet                 draw in a window",
            [](ui::HostRequest request) {
                if (!hasDisplay())
                    return ui::makeMessageHost(
                        "scrawlet: there is no display to open a window on; run a script without "
                        "one with scrawlet --headless FILE\n",
                        1);
                return std::unique_ptr<ui::Host>(
                    std::make_unique<DesktopHost>(std::move(request.backEnds)));
            }};
}

}  // namespace desktop
