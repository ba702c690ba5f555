#include "platform/web/CameraThrough.h"

#include <emscripten.h>

#include <cmath>

#include "platform/ui/SceneView.h"

namespace web {

namespace {
// The page's calls reach the one session there is.
CameraThrough* current = nullptr;

std::optional<double> angle(double value) {
    // The page passes a null angle as not a number.
    return std::isnan(value) ? std::nullopt : std::optional<double>(value);
}
}  // namespace

CameraThrough::CameraThrough(const ar::CameraRig& room, Hooks hooks)
    : room_(room), hooks_(std::move(hooks)) {
    current = this;
}

CameraThrough::~CameraThrough() {
    if (current == this) current = nullptr;
}

void CameraThrough::start() {
    tracker_.start(room_.position(), room_.yawDegrees(), room_.pitchDegrees());
    running_ = true;
    if (hooks_.started) hooks_.started();
}

void CameraThrough::end() {
    if (!running_) return;
    running_ = false;
    if (hooks_.ended) hooks_.ended(tracker_.pose());
}

void CameraThrough::read(const ar::OrientationReading& reading) {
    if (running_) tracker_.read(reading);
}

void CameraThrough::setPictureSize(double width, double height) {
    if (!(width > 0) || !(height > 0)) return;
    pictureWidth_ = width;
    pictureHeight_ = height;
}

scene::Matrix4 CameraThrough::projection(graphics::Size size) const {
    return ar::phoneCameraProjection(size.width, size.height, pictureWidth_, pictureHeight_,
                                     ui::SceneView::zNear, ui::SceneView::zFar);
}

}  // namespace web

// What the page's camera-through half calls. Each does nothing before the
// host exists.
extern "C" {

// The video is showing, `width` by `height` pixels.
EMSCRIPTEN_KEEPALIVE void scrawlet_camera_started(double width, double height) {
    if (!web::current) return;
    web::current->setPictureSize(width, height);
    web::current->start();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_camera_picture_size(double width, double height) {
    if (web::current) web::current->setPictureSize(width, height);
}

// One deviceorientation event: its angles in degrees (not a number where
// the event's was null) and the screen's angle.
EMSCRIPTEN_KEEPALIVE void scrawlet_camera_orientation(double alpha, double beta, double gamma,
                                                      double screenAngle) {
    if (!web::current) return;
    web::current->read({web::angle(alpha), web::angle(beta), web::angle(gamma), screenAngle});
}

EMSCRIPTEN_KEEPALIVE void scrawlet_camera_ended() {
    if (web::current) web::current->end();
}

}  // extern "C"
