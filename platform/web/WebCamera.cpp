// The browser host in augmented reality and seen through the camera: the
// XR session's frames bring the phone's own pose and projection and draw
// into its layer; the camera-through mode's poses come from the phone's
// orientation. Leaving either shows the room again from where the phone was.
#include <GLES3/gl3.h>
#include <emscripten.h>

#include <algorithm>
#include <array>

#include "platform/render/Backdrop.h"
#include "platform/web/WebHost.h"

namespace web {

namespace {
scene::Matrix4 matrixAt(const float* values) {
    std::array<float, 16> copied;
    std::copy(values, values + 16, copied.begin());
    return scene::Matrix4::fromColumnMajor(copied);
}
}  // namespace

void WebHost::deliverCameraFrame() {
    if (auto view = application_->sceneView())
        view->session().deliverFrame(camera_.pose(), camera_.projection(pageSize_));
    dirty_ = true;
}

int WebHost::xrFrame(unsigned framebuffer, int width, int height, const float* cameraToWorld,
                     const float* projection) {
    if (!launched() || mode_ != ar::TrackingMode::ar) return 0;
    syncSize();
    // The phone's own camera: where it is, and how it projects the room
    // onto the screen, which touches are unprojected through too.
    scene::Matrix4 camera = matrixAt(cameraToWorld);
    lastXrPose_ = camera;
    if (auto view = application_->sceneView())
        view->session().deliverFrame(camera, matrixAt(projection));
    pointers_->deliverMoves();
    makeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (framebuffer != xrFramebuffer_) {
        xrFramebuffer_ = framebuffer;
        glGetIntegerv(GL_SAMPLES, &xrSamples_);
    }
    const ui::FrameDescription frame = pointers_->describe();
    renderer_->drawFrame(frame, width, height, xrSamples_);
    dirty_ = false;
    mirror(frame);
    return static_cast<int>(renderer_->lastFrame().planes);
}

bool WebHost::lastFrameByCoverage() const {
    return renderer_ && renderer_->lastFrame().sceneByCoverage;
}

void WebHost::enterTracked(ar::TrackingMode mode) {
    if (!launched()) return;
    mode_ = mode;
    if (auto view = application_->sceneView()) view->session().setTrackingMode(mode);
    pointers_->cancelAll();
    room_.release();
    makeCurrent();
    // The camera's picture shows through.
    renderer_->setBackdrop(render::makeTransparentBackdrop());
    if (mode == ar::TrackingMode::camera) deliverCameraFrame();
}

void WebHost::leaveTracked(const scene::Matrix4& lastPose) {
    if (!launched()) return;
    mode_ = ar::TrackingMode::room;
    if (auto view = application_->sceneView())
        view->session().setTrackingMode(ar::TrackingMode::room);
    pointers_->cancelAll();
    makeCurrent();
    if (auto room = render::makeRoomBackdrop()) renderer_->setBackdrop(std::move(room).value());
    // The room is seen from where the phone was, its drawing where it was
    // made.
    room_.rig().place(lastPose);
    walked();
}

void WebHost::xrEnded() {
    auto pose = lastXrPose_.value_or(room_.rig().pose());
    lastXrPose_.reset();
    leaveTracked(pose);
}

}  // namespace web

// What the page calls. Each does nothing before the host exists.
extern "C" {

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_started() {
    if (auto* host = web::WebHost::current()) host->xrStarted();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_ended() {
    if (auto* host = web::WebHost::current()) host->xrEnded();
}

// One XR frame: the viewer's camera-to-world transform and projection (16
// floats each, column-major, one after the other) and where to draw.
// `framebuffer` 0 is the page's canvas. Returns the planes drawn.
EMSCRIPTEN_KEEPALIVE int scrawlet_xr_frame(int framebuffer, int width, int height,
                                           const float* matrices) {
    auto* host = web::WebHost::current();
    if (!host) return 0;
    return host->xrFrame(static_cast<unsigned>(framebuffer), width, height, matrices,
                         matrices + 16);
}

// Whether the last frame drew fully opaque planes' soft edges by sample
// coverage: 1 where the target is multisampled.
EMSCRIPTEN_KEEPALIVE int scrawlet_frame_by_coverage() {
    auto* host = web::WebHost::current();
    return host && host->lastFrameByCoverage() ? 1 : 0;
}

}  // extern "C"
