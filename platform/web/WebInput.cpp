// The browser host's input: the page's pointers (mouse, fingers, pens),
// wheel and keys become touches, key commands and walks through the
// simulated room; losing the focus or the page being hidden lets go of
// everything held; the accessible mirror's buttons tap where they are drawn.
#include <emscripten.h>

#include "platform/web/WebHost.h"

namespace web {

namespace {
// The mouse's buttons as the browser numbers them.
constexpr int leftButton = 0;
constexpr int rightButton = 2;
}  // namespace

graphics::Point WebHost::toPoints(double x, double y) const {
    auto screen = ui::Screen::main().bounds().size;
    double sx = pageSize_.width > 0 ? screen.width / pageSize_.width : 1;
    double sy = pageSize_.height > 0 ? screen.height / pageSize_.height : 1;
    return {x * sx, y * sy};
}

void WebHost::pointer(PointerPhase phase, ui::PointerInput::PointerId id, bool mouse, int button,
                      double x, double y, double milliseconds) {
    if (!launched()) return;
    graphics::Point point = toPoints(x, y);
    ui::PointerInput::InputTime time{milliseconds};
    // The right mouse button turns the camera, as on the desktop; the left
    // one, fingers and pens touch.
    if (mouse && inRoom()) {
        if (phase == PointerPhase::down && button == rightButton) {
            room_.turnButton(true, point);
            return;
        }
        if (phase == PointerPhase::move && room_.mouseMoved(point)) walked();
        if (room_.turning() && (phase == PointerPhase::up || phase == PointerPhase::cancel) &&
            button == rightButton) {
            room_.turnButton(false, point);
            return;
        }
    }
    // The mouse's other buttons do nothing; a pointer the browser takes
    // away is cancelled whatever it was.
    if (mouse && button != leftButton && (phase == PointerPhase::down || phase == PointerPhase::up))
        return;
    switch (phase) {
        case PointerPhase::down: pointers_->down(id, point, time); break;
        case PointerPhase::move: pointers_->move(id, point, time); return;
        case PointerPhase::up: pointers_->up(id, point); break;
        case PointerPhase::cancel: pointers_->cancelAll(); break;
    }
    afterUserInput(phase == PointerPhase::up);
}

void WebHost::wheel(int rows) {
    if (!launched()) return;
    pointers_->scroll(rows);
    dirty_ = true;
}

bool WebHost::key(std::string_view code, bool down, bool control, bool repeat) {
    if (!launched()) return false;
    // A phone seen through is turned and walked by its holder.
    switch (room_.press(*keys_, {code, down, control, repeat}, inRoom())) {
        case ui::KeyOutcome::unused: return false;
        // A page is left, not quit, and the browser has its own full screen
        // and help.
        case ui::KeyOutcome::quit:
        case ui::KeyOutcome::showHelp:
        case ui::KeyOutcome::toggleFullScreen: return false;
        case ui::KeyOutcome::resetCamera:
            if (!inRoom()) return true;
            walked();
            break;
        case ui::KeyOutcome::used: break;
    }
    if (down) afterUserInput();
    return true;
}

void WebHost::focusLost() {
    if (!launched()) return;
    // Keys released elsewhere never arrive; a drag that leaves the page is
    // cancelled, like a touch the system takes over.
    room_.release();
    pointers_->cancelAll();
    dirty_ = true;
}

void WebHost::visibility(bool visible) {
    if (!launched()) return;
    if (visible) {
        application_->becomeActive();
    } else {
        focusLost();
        application_->enterBackground();
    }
    dirty_ = true;
}

void WebHost::shake() {
    if (!launched()) return;
    application_->sendMotionEnded(ui::EventSubtype::motionShake);
    afterUserInput();
}

void WebHost::afterUserInput(bool tapped) {
    dirty_ = true;
    answerPresented(tapped);
}

// A tap where the element is drawn, as a finger's: whatever the pixels do
// there, the mirror does.
void WebHost::tapMirrored(graphics::Point point) {
    constexpr ui::PointerInput::PointerId mirrorPointer = -1;
    ui::PointerInput::InputTime time{emscripten_get_now()};
    pointers_->down(mirrorPointer, point, time);
    pointers_->up(mirrorPointer, point);
    afterUserInput(true);
}

void WebHost::pressMirrored(int button) {
    if (!launched()) return;
    // What the page shows may be older than the screen: it is asked again.
    auto screen = ui::describeAccessible(pointers_->describe());
    if (button < 0 || static_cast<std::size_t>(button) >= screen.buttons.size() || screen.dialog)
        return;
    tapMirrored(ui::tapPoint(screen.buttons[static_cast<std::size_t>(button)].frame));
}

void WebHost::chooseMirrored(int choice) {
    if (!launched()) return;
    auto screen = ui::describeAccessible(pointers_->describe());
    if (!screen.dialog || choice < 0 ||
        static_cast<std::size_t>(choice) >= screen.dialog->choices.size())
        return;
    tapMirrored(ui::tapPoint(screen.dialog->choices[static_cast<std::size_t>(choice)].frame));
}

}  // namespace web

// What the page calls. Each does nothing before the host exists.
extern "C" {

// `milliseconds` is the event's own time stamp.
EMSCRIPTEN_KEEPALIVE void scrawlet_pointer(int phase, int id, int mouse, int button, double x,
                                           double y, double milliseconds) {
    if (auto* host = web::WebHost::current())
        host->pointer(static_cast<web::PointerPhase>(phase), id, mouse != 0, button, x, y,
                      milliseconds);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_wheel(int rows) {
    if (auto* host = web::WebHost::current()) host->wheel(rows);
}

// 1 when the key is one of ours, so that the browser does nothing else
// with it.
EMSCRIPTEN_KEEPALIVE int scrawlet_key(const char* code, int down, int control, int repeat) {
    auto* host = web::WebHost::current();
    return host && host->key(code, down != 0, control != 0, repeat != 0) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void scrawlet_focus_lost() {
    if (auto* host = web::WebHost::current()) host->focusLost();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_visibility(int visible) {
    if (auto* host = web::WebHost::current()) host->visibility(visible != 0);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_shake() {
    if (auto* host = web::WebHost::current()) host->shake();
}

// The page's mirror: its overlay button `index` pressed, or its dialog's
// choice `index` chosen.
EMSCRIPTEN_KEEPALIVE void scrawlet_mirror_press(int index) {
    if (auto* host = web::WebHost::current()) host->pressMirrored(index);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_mirror_choose(int index) {
    if (auto* host = web::WebHost::current()) host->chooseMirrored(index);
}

}  // extern "C"
