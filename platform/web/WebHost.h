// The browser host: the page owns the loop, so the host is driven by the
// page's callbacks (animation frames, XR frames, pointer and key events, the
// file chooser and the share sheet answering) rather than by a loop of its
// own. The page's half is in Page.js, Mirror.js and Storage.js. The host's
// own half is in one file a job: start-up and frames (WebHost.cpp), input
// (WebInput.cpp), augmented reality and the camera (WebCamera.cpp), files
// picked, shared and kept (WebFiles.cpp), and the script bridge the page's
// tests use (WebScriptBridge.cpp). Each file also has the calls the page
// makes for its job; none lets an exception out to the page.
#pragma once

#include <emscripten/html5.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/ar/Session.h"
#include "platform/automation/Runner.h"
#include "platform/render/Renderer.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/Application.h"
#include "platform/ui/HostChoice.h"
#include "platform/ui/KeyboardInput.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/Presentation.h"
#include "platform/ui/RoomControls.h"
#include "platform/web/CameraThrough.h"
#include "platform/web/WebDocuments.h"
#include "platform/web/WebPictures.h"

// The page's half, in Page.js, Mirror.js and Storage.js.
extern "C" {
void scrawlet_page_prepare();
void scrawlet_page_failed(const char* text, const char* detail);
void scrawlet_page_speak(const char* language);
void scrawlet_page_launched(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context, const char* language);
void scrawlet_page_frame_drawn(int planes, double milliseconds, int uploading);
void scrawlet_page_overlay_size(double* size);
void scrawlet_page_when_idle();
void scrawlet_page_choose_picture(int camera);
void scrawlet_page_share(const std::uint8_t* rgba, int width, int height, const char* text);
void scrawlet_page_mirror(const char* mirror);
void scrawlet_storage_mount(const char* path);
}

namespace web {

// The page. The request's back ends are the graphics back end and the scene
// file; the host fills in the rest from the page and the browser.
ui::HostChoice hostChoice();

// JSON's text for the page, with what is not UTF-8 replaced rather than
// thrown about.
inline std::string jsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

enum class PointerPhase { down = 0, move = 1, up = 2, cancel = 3 };

class WebHost : public ui::Host {
public:
    explicit WebHost(ui::LaunchDescription backEnds);
    ~WebHost() override;
    WebHost(const WebHost&) = delete;
    WebHost& operator=(const WebHost&) = delete;
    // The host the page's calls reach: none before it is made.
    static WebHost* current();

    int run(ui::Application& application) override;
    bool runsOnAfterReturning() const override { return true; }

    // Start-up and frames. The kept documents are read and the page has
    // described itself: the host launches the application.
    void pageReady(std::string_view factsText);
    void animationFrame(double milliseconds);
    void redraw() { dirty_ = true; }

    // Input.
    void pointer(PointerPhase phase, ui::PointerInput::PointerId id, bool mouse, int button,
                 double x, double y, double milliseconds);
    void wheel(int rows);
    bool key(std::string_view code, bool down, bool control, bool repeat);
    void focusLost();
    void visibility(bool visible);
    void shake();
    // A screen reader or the keyboard pressed the mirror's overlay button
    // or the dialog's choice of that index.
    void pressMirrored(int button);
    void chooseMirrored(int choice);

    // Augmented reality and the camera.
    int xrFrame(unsigned framebuffer, int width, int height, const float* cameraToWorld,
                const float* projection);
    // Whether the last frame drew soft edges by sample coverage.
    bool lastFrameByCoverage() const;
    void xrStarted() { enterTracked(ar::TrackingMode::ar); }
    void xrEnded();

    // Files. The file chooser's answers: a file's bytes (a reason comes
    // back when they are of a kind our decoders do not read, for the
    // browser to try), the browser's own decoding of it, its refusal, or no
    // file at all.
    std::string picked(std::span<const std::uint8_t> bytes, std::string_view name);
    // Room for the browser's decoding of a picked picture, `width` by
    // `height` pixels, RGBA not premultiplied, `opaque` when every alpha is
    // 255: the bitmap it becomes, which pickedPixels then places. Null when
    // nothing is being picked or the size is beyond the kept one.
    std::uint8_t* pictureRoom(int width, int height, bool opaque);
    void pickedPixels();
    // The page is idle: the next photo placed is stored ahead of a save.
    // Whether one was.
    bool idle();
    void pickRefused(std::string_view name, std::string_view reason);
    void pickCancelled();
    // The browser listed its devices: whether one is a camera.
    void camerasListed(bool found);
    void shareFinished();
    // The browser's answer to a write of the documents folder.
    void documentAnswered(int id, bool done, std::string_view reason);
    // Whether leaving now would lose a change: one not saved, or a save
    // the browser is still writing.
    bool unsavedChanges() const;

    // The script bridge: a script run against the application, and the
    // screen presented on top, each as JSON.
    std::string runScript(std::string_view text);
    std::string presented();

    // A text handed back to the page, which lives until the next one.
    const char* answer(std::string text) {
        answer_ = std::move(text);
        return answer_.c_str();
    }

private:
    bool launched() const { return pointers_ != nullptr; }
    // The page says what failed in the person's language: `text` names one
    // of its texts, into which `detail` goes.
    void fail(const char* text, const std::string& detail = {}) {
        scrawlet_page_failed(text, detail.c_str());
    }
    void makeCurrent();
    graphics::Point toPoints(double x, double y) const;
    void syncSize();
    void draw();
    // The camera was walked, turned or put back: the simulated tracker's
    // frames follow it from now on.
    void walked();
    void deliverRigFrame();
    // The phone's camera is seen through from now on (`camera` or `ar`), or
    // again the room, from where the phone's camera was last.
    void enterTracked(ar::TrackingMode mode);
    void leaveTracked(const scene::Matrix4& lastPose);
    bool inRoom() const { return mode_ == ar::TrackingMode::room; }
    void deliverCameraFrame();
    // After what the user did: `tapped` when it was a tap, which the
    // browser lets open its file chooser.
    void afterUserInput(bool tapped = false);
    void answerPresented(bool tapped);
    ui::ImagePickerController* choosingPicker() const;
    // The page's accessible copy of the screen follows what was drawn.
    void mirror(const ui::FrameDescription& frame);
    void tapMirrored(graphics::Point point);

    ui::LaunchDescription backEnds_;
    ui::Application* application_ = nullptr;
    // The page's callbacks drive this one application on the browser's one
    // thread for the rest of the page's life.
    std::optional<ui::ApplicationScope> driven_;
    std::unique_ptr<render::Renderer> renderer_;
    std::shared_ptr<WebPictures> pictures_ = std::make_shared<WebPictures>();
    std::unique_ptr<automation::ScriptRunner> runner_;
    std::unique_ptr<ui::PointerInput> pointers_;
    std::unique_ptr<ui::KeyboardInput> keys_;
    // Walking and looking around the simulated room.
    ui::RoomControls room_;
    CameraThrough camera_;
    ar::TrackingMode mode_ = ar::TrackingMode::room;
    double lastFrameTime_ = 0;
    // The page's size in CSS pixels; the screen's in points is the same
    // unless a set-up script or a script fixed it.
    graphics::Size pageSize_;
    double pixelRatio_ = 1;
    bool fixedView_ = false;
    bool fixedScale_ = false;
    // A set-up script that says whether there is a camera is believed over
    // the browser's list of devices.
    bool fixedCamera_ = false;
    std::optional<scene::Matrix4> lastXrPose_;
    // Samples a pixel of the canvas, and of the XR layer's framebuffer
    // (by its name, none yet): asked of GL once for each, not every frame,
    // since every question waits for the GPU process.
    int canvasSamples_ = 0;
    int xrSamples_ = 0;
    unsigned xrFramebuffer_ = ~0u;
    // In the simulated room the tracker delivers the walking camera's pose
    // with every frame drawn, except while the frames are a script's: a page
    // opened with set-up commands, or after a script's own `frame`, until
    // someone walks.
    bool framesFromScripts_ = false;
    // The presented screens the browser is answering.
    std::weak_ptr<ui::ViewController> choosing_;
    std::shared_ptr<graphics::Bitmap> pictureRoom_;
    // Photos placed and not stored yet (as JPEG files, as a save stores
    // them): one is stored each time the page is idle, so that a save only
    // writes their bytes.
    std::deque<std::weak_ptr<const graphics::Bitmap>> toStore_;
    std::weak_ptr<ui::ViewController> sharing_;
    std::shared_ptr<WebDocumentStore> documents_;
    bool dirty_ = true;
    std::optional<ui::AccessibleScreen> mirrored_;
    std::string answer_;
};

}  // namespace web
