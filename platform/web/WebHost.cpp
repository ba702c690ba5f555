#include "platform/web/WebHost.h"

#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Overloaded.h"
#include "platform/Precondition.h"
#include "platform/ar/CameraRig.h"
#include "platform/automation/Runner.h"
#include "platform/automation/Script.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/PictureFiles.h"
#include "platform/render/Renderer.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/KeyboardInput.h"
#include "platform/ui/Locale.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/PointerInput.h"
#include "platform/ui/PresentedResponse.h"
#include "platform/web/AccessibleMirror.h"
#include "platform/web/CameraThrough.h"
#include "platform/web/WebDocuments.h"
#include "platform/web/WebPictures.h"

// The page's half, in Page.js, Mirror.js and Storage.js.
extern "C" {
void scrawlet_page_prepare();
void scrawlet_page_failed(const char* text, const char* detail);
void scrawlet_page_speak(const char* language);
void scrawlet_page_launched(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context, const char* language);
void scrawlet_page_frame_drawn(int planes, double milliseconds);
void scrawlet_page_choose_picture(int camera);
void scrawlet_page_share(const std::uint8_t* rgba, int width, int height, const char* text);
void scrawlet_page_mirror(const char* mirror);
void scrawlet_storage_mount(const char* path);
}

namespace web {

namespace {

// The documents folder lives in the browser's IndexedDB; the other folders
// only for the visit.
const std::filesystem::path documentsFolder = "/home/web_user/Documents";
const std::filesystem::path picturesFolder = "/home/web_user/Pictures";
constexpr const char* resourcesFolder = "/resources";

// Why a script cannot set the camera where the phone sets it.
const char* trackedBy(ar::TrackingMode mode) {
    switch (mode) {
        case ar::TrackingMode::room: return nullptr;
        case ar::TrackingMode::camera:
            return "in camera-through mode the camera's frames come from the phone's orientation";
        case ar::TrackingMode::ar:
            return "in augmented reality the camera's frames come from the phone's own tracking";
    }
    platform::unreachable("trackedBy");
}

// The texts the page shows for a language tag, by the rule the
// application's own follow.
const char* pageLanguage(std::string_view languageTag) {
    switch (ui::textLanguageOf(languageTag)) {
        case ui::TextLanguage::english: return "en";
        case ui::TextLanguage::simplifiedChinese: return "zh-Hans";
        case ui::TextLanguage::traditionalChinese: return "zh-Hant";
    }
    platform::unreachable("pageLanguage");
}

// What the page says about itself before launch: the size of the element
// that takes the touches (CSS pixels, which are our points), the pixels per
// point, the safe area, the user's languages, whether there is a camera to
// take photos with, and the set-up commands a test gave in the address.
struct PageFacts {
    graphics::Size size;
    double pixelRatio = 1;
    graphics::EdgeInsets insets;
    std::vector<std::string> languages;
    bool hasCamera = false;
    std::string setup;
};

platform::Result<PageFacts> readFacts(std::string_view text) {
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return platform::fail("not a JSON object");
    try {
        PageFacts facts;
        facts.size = {json.at("width").get<double>(), json.at("height").get<double>()};
        facts.pixelRatio = json.at("pixelRatio").get<double>();
        const auto& insets = json.at("insets");
        facts.insets = {insets.at("top").get<double>(), insets.at("left").get<double>(),
                        insets.at("bottom").get<double>(), insets.at("right").get<double>()};
        facts.languages = json.at("languages").get<std::vector<std::string>>();
        facts.hasCamera = json.at("camera").get<bool>();
        facts.setup = json.at("setup").get<std::string>();
        if (!(facts.pixelRatio > 0)) facts.pixelRatio = 1;
        return facts;
    } catch (const nlohmann::json::exception& error) {
        return platform::fail(error.what());
    }
}

// The browser's language tags (navigator.languages) in their canonical
// form, as the environment's are natively; a browser that names no language
// (or only C) reads English.
std::vector<std::string> languagesOf(const std::vector<std::string>& browserTags) {
    std::vector<std::string> languages;
    for (const auto& tag : browserTags)
        if (auto canonical = ui::canonicalLanguageTag(tag)) languages.push_back(*canonical);
    if (languages.empty()) languages.push_back("en-US");
    return languages;
}

// A phone's screen is narrower than this; a larger browser window shows
// sheets and pickers as popovers, as a pad does.
constexpr double phoneWidthLimit = 600;

scene::Matrix4 matrixAt(const float* values) {
    std::array<float, 16> copied;
    std::copy(values, values + 16, copied.begin());
    return scene::Matrix4::fromColumnMajor(copied);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The text that goes with the picture: the share sheet's first text item
// (the app's own word for it), or none.
std::string shareText(const ui::ActivityViewController& share) {
    for (const auto& item : share.activityItems())
        if (const auto* text = std::get_if<std::string>(&item)) return *text;
    return {};
}

enum class PointerPhase { down = 0, move = 1, up = 2, cancel = 3 };

const char* roleName(ui::PresentedTargetRole role) {
    switch (role) {
        case ui::PresentedTargetRole::action: return "action";
        case ui::PresentedTargetRole::outside: return "outside";
        case ui::PresentedTargetRole::pickFile: return "pickFile";
        case ui::PresentedTargetRole::cancelPicker: return "cancelPicker";
        case ui::PresentedTargetRole::takePicture: return "takePicture";
        case ui::PresentedTargetRole::saveToPictures: return "saveToPictures";
        case ui::PresentedTargetRole::cancelShare: return "cancelShare";
    }
    platform::unreachable("roleName");
}

// The mouse's buttons as the browser numbers them.
constexpr int leftButton = 0;
constexpr int rightButton = 2;

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE glContext = 0;
void makeCurrent() { emscripten_webgl_make_context_current(glContext); }

class WebHost;
WebHost* currentHost = nullptr;

class WebHost : public ui::Host {
public:
    explicit WebHost(ui::LaunchDescription backEnds)
        : backEnds_(std::move(backEnds)),
          camera_(rig_, {[this] { enterTracked(ar::TrackingMode::camera); },
                         [this](const scene::Matrix4& pose) { leaveTracked(pose); }}) {
        currentHost = this;
    }
    ~WebHost() override { currentHost = nullptr; }

    int run(ui::Application& application) override {
        application_ = &application;
        // The page's callbacks drive this one application on the browser's
        // one thread for the rest of the page's life.
        driven_.emplace(application);
        setenv("SCRAWLET_RESOURCES", resourcesFolder, 1);
        scrawlet_storage_mount(documentsFolder.c_str());
        scrawlet_page_prepare();
        return 0;
    }
    bool runsOnAfterReturning() const override { return true; }

    // The kept documents are read and the page has described itself.
    void pageReady(std::string_view factsText);
    void animationFrame(double milliseconds);
    int xrFrame(GLuint framebuffer, int width, int height, const float* cameraToWorld,
                const float* projection);
    void xrStarted() { enterTracked(ar::TrackingMode::ar); }
    void xrEnded();

    void pointer(PointerPhase phase, ui::PointerInput::PointerId id, bool mouse, int button,
                 double x, double y, double milliseconds);
    void wheel(int rows);
    bool key(std::string_view code, bool down, bool control, bool repeat);
    void focusLost();
    void visibility(bool visible);
    void shake();

    // The file chooser's answers: a file's bytes (a reason comes back when
    // they are of a kind our decoders do not read, for the browser to try),
    // the browser's own decoding of it, its refusal, or no file at all.
    std::string picked(std::span<const std::uint8_t> bytes, std::string_view name);
    void pickedPixels(std::uint8_t* rgba, int width, int height);
    void pickRefused(std::string_view name, std::string_view reason);
    void pickCancelled();
    void shareFinished();
    // The browser's answer to a write of the documents folder.
    void documentAnswered(int id, bool done, std::string_view reason) {
        documents_->answered(id, done, reason);
        dirty_ = true;
    }
    // Whether leaving now would lose a change: one not saved, or a save
    // the browser is still writing.
    bool unsavedChanges() const {
        auto root = application_ ? application_->rootViewController() : nullptr;
        return documents_->writing() || (root && root->hasUnsavedChanges());
    }

    std::string runScript(std::string_view text);
    std::string presented();
    void redraw() { dirty_ = true; }
    // A screen reader or the keyboard pressed the mirror's overlay button
    // or the dialog's choice of that index.
    void pressMirrored(int button);
    void chooseMirrored(int choice);

private:
    bool launched() const { return pointers_ != nullptr; }
    // The page says what failed in the person's language: `text` names one
    // of its texts, into which `detail` goes.
    void fail(const char* text, const std::string& detail = {}) {
        scrawlet_page_failed(text, detail.c_str());
    }
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
    void mirror();
    void tapMirrored(graphics::Point point);

    ui::LaunchDescription backEnds_;
    ui::Application* application_ = nullptr;
    std::optional<ui::ApplicationScope> driven_;
    std::unique_ptr<render::Renderer> renderer_;
    std::shared_ptr<WebPictures> pictures_ = std::make_shared<WebPictures>();
    std::unique_ptr<automation::ScriptRunner> runner_;
    std::unique_ptr<ui::PointerInput> pointers_;
    std::unique_ptr<ui::KeyboardInput> keys_;
    ar::CameraRig rig_;
    ar::Motion motion_;
    CameraThrough camera_;
    ar::TrackingMode mode_ = ar::TrackingMode::room;
    double lastFrameTime_ = 0;
    // The page's size in CSS pixels; the screen's in points is the same
    // unless a set-up script or a script fixed it.
    graphics::Size pageSize_;
    double pixelRatio_ = 1;
    bool fixedView_ = false;
    bool fixedScale_ = false;
    std::optional<scene::Matrix4> lastXrPose_;
    // In the simulated room the tracker delivers the walking camera's pose
    // with every frame drawn, except while the frames are a script's: a page
    // opened with set-up commands, or after a script's own `frame`, until
    // someone walks.
    bool framesFromScripts_ = false;
    // The mouse turns the camera while its right button is held.
    bool turning_ = false;
    graphics::Point lastMouse_;
    // The presented screens the browser is answering.
    std::weak_ptr<ui::ViewController> choosing_;
    std::weak_ptr<ui::ViewController> sharing_;
    std::shared_ptr<WebDocumentStore> documents_ =
        std::make_shared<WebDocumentStore>(documentsFolder);
    bool dirty_ = true;
    std::optional<ui::AccessibleScreen> mirrored_;
};

void WebHost::pageReady(std::string_view factsText) {
    auto facts = readFacts(factsText);
    if (!facts) {
        fail("pageUndescribed", facts.error());
        return;
    }
    pageSize_ = facts.value().size;
    pixelRatio_ = facts.value().pixelRatio;
    // From here on the page speaks the person's language, even to say that
    // the program cannot run.
    const std::vector<std::string> languages = languagesOf(facts.value().languages);
    scrawlet_page_speak(pageLanguage(languages.front()));

    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // Transparent where nothing is drawn, so that in augmented reality the
    // camera's picture shows through.
    attributes.alpha = EM_TRUE;
    attributes.premultipliedAlpha = EM_TRUE;
    attributes.antialias = EM_TRUE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_TRUE;
    glContext = emscripten_webgl_create_context("#canvas", &attributes);
    if (glContext <= 0) {
        fail("noWebGl");
        return;
    }
    makeCurrent();
    // The browser hands the drawing to a GPU (or its own rasteriser in a
    // GPU process), where early-Z rejects hidden fragments for nothing and
    // the software rasteriser's tricks only cost the main thread.
    const ui::RenderOptions renderOptions = ui::RenderOptions::gpu();
    auto renderer = render::Renderer::make(renderOptions);
    if (!renderer) {
        fail("webGlCannotDraw", renderer.error());
        return;
    }
    renderer_ = std::move(renderer).value();
    pictures_->attach(*renderer_, makeCurrent);

    ui::LaunchDescription description = backEnds_;
    description.screenSize = pageSize_;
    description.scale = pixelRatio_;
    description.safeAreaInsets = facts.value().insets;
    description.idiom = std::min(pageSize_.width, pageSize_.height) < phoneWidthLimit
                            ? ui::UserInterfaceIdiom::phone
                            : ui::UserInterfaceIdiom::pad;
    description.languages = languages;
    description.documents = documentsFolder;
    documents_->folderRead();
    description.documentStore = documents_;
    description.picturesFolder = picturesFolder;
    description.hasCamera = facts.value().hasCamera;
    description.viewRenderer = pictures_;
    description.renderOptions = renderOptions;
    runner_ = std::make_unique<automation::ScriptRunner>(*application_, std::move(description),
                                                         pictures_);

    // A test describes the device in set-up commands, as a headless script
    // does; frames then come from its scripts until someone walks.
    const std::string& setup = facts.value().setup;
    if (auto parsed = automation::parseScript(setup)) {
        for (const auto& command : parsed.value()) {
            fixedView_ = fixedView_ || command.name == "view";
            fixedScale_ = fixedScale_ || command.name == "scale";
        }
    }
    std::ostringstream output, errors;
    if (runner_->run(setup + "\nlaunch\n", "the page's set-up", {}, output, errors) !=
        automation::ScriptStatus::done) {
        fail("couldNotStart", errors.str());
        return;
    }
    pointers_ = std::make_unique<ui::PointerInput>(*application_);
    keys_ = std::make_unique<ui::KeyboardInput>(*application_, *pointers_);
    framesFromScripts_ = !setup.empty();
    emscripten_request_animation_frame_loop(
        [](double time, void*) -> EM_BOOL {
            if (currentHost) currentHost->animationFrame(time);
            return EM_TRUE;
        },
        nullptr);
    scrawlet_page_launched(glContext, pageLanguage(ui::Locale::preferredLanguages().front()));
}

graphics::Point WebHost::toPoints(double x, double y) const {
    auto screen = ui::Screen::main().bounds().size;
    double sx = pageSize_.width > 0 ? screen.width / pageSize_.width : 1;
    double sy = pageSize_.height > 0 ? screen.height / pageSize_.height : 1;
    return {x * sx, y * sy};
}

void WebHost::syncSize() {
    double width = 0, height = 0;
    emscripten_get_element_css_size("#overlay", &width, &height);
    if (width <= 0 || height <= 0) return;
    double ratio = emscripten_get_device_pixel_ratio();
    if (graphics::Size{width, height} != pageSize_ || ratio != pixelRatio_) dirty_ = true;
    pageSize_ = {width, height};
    pixelRatio_ = ratio;
    if (!fixedScale_ && ui::Screen::main().scale() != ratio) ui::Screen::main().setScale(ratio);
    if (!fixedView_ && ui::Screen::main().bounds().size != pageSize_)
        application_->transitionToSize(pageSize_);
    // The XR layer has its own size; the canvas follows the page inline.
    if (mode_ == ar::TrackingMode::ar) return;
    int pixelsWide = static_cast<int>(std::lround(width * ratio));
    int pixelsHigh = static_cast<int>(std::lround(height * ratio));
    int current[2] = {0, 0};
    emscripten_get_canvas_element_size("#canvas", &current[0], &current[1]);
    if (current[0] != pixelsWide || current[1] != pixelsHigh) {
        emscripten_set_canvas_element_size("#canvas", pixelsWide, pixelsHigh);
        dirty_ = true;
    }
}

void WebHost::walked() {
    framesFromScripts_ = false;
    deliverRigFrame();
    dirty_ = true;
}

void WebHost::deliverRigFrame() {
    if (auto view = application_->sceneView(); view && !framesFromScripts_ && inRoom())
        view->session().deliverFrame(rig_.pose());
}

void WebHost::deliverCameraFrame() {
    if (auto view = application_->sceneView())
        view->session().deliverFrame(camera_.pose(), camera_.projection(pageSize_));
    dirty_ = true;
}

void WebHost::animationFrame(double milliseconds) {
    double seconds = lastFrameTime_ > 0 ? (milliseconds - lastFrameTime_) / 1000 : 0;
    lastFrameTime_ = milliseconds;
    // In augmented reality the XR frames draw.
    if (!launched() || mode_ == ar::TrackingMode::ar) return;
    auto size = pageSize_;
    syncSize();
    if (camera_.running() && (camera_.advance(seconds) || size != pageSize_)) deliverCameraFrame();
    if (inRoom() && rig_.update(motion_, seconds)) walked();
    if (pointers_->deliverMoves()) dirty_ = true;
    if (dirty_) draw();
}

void WebHost::draw() {
    dirty_ = false;
    deliverRigFrame();
    makeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    int width = 0, height = 0;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    double start = emscripten_get_now();
    renderer_->drawFrame(pointers_->describe(), width, height);
    scrawlet_page_frame_drawn(static_cast<int>(renderer_->lastFrame().planes),
                              emscripten_get_now() - start);
    mirror();
}

int WebHost::xrFrame(GLuint framebuffer, int width, int height, const float* cameraToWorld,
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
    renderer_->drawFrame(pointers_->describe(), width, height);
    dirty_ = false;
    mirror();
    return static_cast<int>(renderer_->lastFrame().planes);
}

void WebHost::enterTracked(ar::TrackingMode mode) {
    if (!launched()) return;
    mode_ = mode;
    if (auto view = application_->sceneView()) view->session().setTrackingMode(mode);
    pointers_->cancelAll();
    motion_ = ar::Motion{};
    turning_ = false;
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
    rig_.place(lastPose);
    walked();
}

void WebHost::xrEnded() {
    auto pose = lastXrPose_.value_or(rig_.pose());
    lastXrPose_.reset();
    leaveTracked(pose);
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
            turning_ = true;
            lastMouse_ = point;
            return;
        }
        if (turning_ && phase == PointerPhase::move) {
            rig_.drag(point.x - lastMouse_.x, point.y - lastMouse_.y);
            lastMouse_ = point;
            walked();
        }
        if (turning_ && (phase == PointerPhase::up || phase == PointerPhase::cancel) &&
            button == rightButton) {
            turning_ = false;
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
    switch (keys_->press({code, down, control, repeat}, inRoom() ? &motion_ : nullptr)) {
        case ui::KeyOutcome::unused: return false;
        // A page is left, not quit, and the browser has its own full screen
        // and help.
        case ui::KeyOutcome::quit:
        case ui::KeyOutcome::showHelp:
        case ui::KeyOutcome::toggleFullScreen: return false;
        case ui::KeyOutcome::resetCamera:
            if (!inRoom()) return true;
            rig_.reset();
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
    motion_ = ar::Motion{};
    turning_ = false;
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

// A screen the user brought up that the browser answers: the image picker
// by its file chooser, the share sheet by its own share sheet or a
// download. This runs while the user's tap is still being handled, which
// the browser requires of both. The chooser opens on a tap only: a key
// that leaves the picker on top (Esc on a refusal) leaves it to be tapped.
void WebHost::answerPresented(bool tapped) {
    auto top = ui::topPresented(*application_);
    auto screen = top ? top->presentedScreen() : std::nullopt;
    if (!screen) return;
    std::visit(platform::Overloaded{
                   [&](ui::AlertController*) {},
                   [&](ui::ImagePickerController* picker) {
                       if (!tapped || choosing_.lock() == top) return;
                       choosing_ = top;
                       scrawlet_page_choose_picture(picker->sourceType() ==
                                                    ui::ImagePickerSourceType::camera);
                   },
                   [&](ui::ActivityViewController* share) {
                       if (sharing_.lock() == top) return;
                       sharing_ = top;
                       auto image = share->firstImage();
                       if (!image || !image->cgImage()) {
                           share->complete();
                           ui::showProblem(*application_, {ui::platformTexts().pictureNotSaved,
                                                           "the sheet holds no picture"});
                           return;
                       }
                       // The browser lays it over the camera's picture (or
                       // an opaque backdrop) and encodes it off the main
                       // thread, quickly enough for its share sheet.
                       const auto& bitmap = *image->cgImage();
                       auto pixels = graphics::pictures::unpremultiplied(bitmap);
                       scrawlet_page_share(pixels.data(), bitmap.width(), bitmap.height(),
                                           shareText(*share).c_str());
                   },
               },
               *screen);
}

ui::ImagePickerController* WebHost::choosingPicker() const {
    auto top = ui::topPresented(*application_);
    if (!top || top != choosing_.lock()) return nullptr;
    auto screen = top->presentedScreen();
    auto* picker = screen ? std::get_if<ui::ImagePickerController*>(&*screen) : nullptr;
    return picker ? *picker : nullptr;
}

std::string WebHost::picked(std::span<const std::uint8_t> bytes, std::string_view name) {
    auto* picker = choosingPicker();
    if (picker == nullptr) return {};
    auto image = graphics::backend().decodeImage(bytes, graphics::DecodeLimits{});
    if (!image) {
        // A JPEG or PNG file that our decoders refuse is damaged, as it is
        // natively; other kinds the browser may still read.
        if (graphics::pictures::hasJpegSignature(bytes) ||
            graphics::pictures::hasPngSignature(bytes)) {
            pickRefused(name, image.error());
            return {};
        }
        return image.error();
    }
    choosing_.reset();
    auto self = picker->shared_from_this();
    picker->pick(std::move(image).value());
    afterUserInput();
    return {};
}

void WebHost::pickedPixels(std::uint8_t* rgba, int width, int height) {
    auto* picker = choosingPicker();
    if (picker == nullptr || width <= 0 || height <= 0) return;
    // The browser's decoder turned the picture upright already. A picture
    // without any transparency is opaque, as natively, and kept as a JPEG.
    std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    bool opaque = true;
    for (std::size_t i = 3; i < bytes && opaque; i += 4) opaque = rgba[i] == 255;
    graphics::BitmapFormat format;
    if (opaque) format.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height, format);
    std::copy(rgba, rgba + bitmap->byteCount(), bitmap->data());
    graphics::pictures::premultiply(bitmap->data(), bitmap->byteCount());
    choosing_.reset();
    auto self = picker->shared_from_this();
    picker->pick(std::make_shared<graphics::Image>(std::move(bitmap)));
    afterUserInput();
}

void WebHost::pickRefused(std::string_view name, std::string_view reason) {
    if (choosingPicker() == nullptr) return;
    // The picker stays for another try, as when a file in the library is
    // refused.
    choosing_.reset();
    ui::showProblem(*application_, {ui::platformTexts().pictureCannotBeUsed,
                                    std::string(name) + ": " + std::string(reason)});
    dirty_ = true;
}

void WebHost::pickCancelled() {
    auto* picker = choosingPicker();
    choosing_.reset();
    if (picker == nullptr) return;
    auto self = picker->shared_from_this();
    picker->cancel();
    afterUserInput();
}

void WebHost::shareFinished() {
    auto top = ui::topPresented(*application_);
    bool ours = top && top == sharing_.lock();
    sharing_.reset();
    if (!ours) return;
    auto screen = top->presentedScreen();
    if (auto* share = screen ? std::get_if<ui::ActivityViewController*>(&*screen) : nullptr)
        (*share)->complete();
    afterUserInput();
}

std::string WebHost::runScript(std::string_view text) {
    nlohmann::json answer;
    if (!launched()) {
        answer = {{"status", static_cast<int>(automation::ScriptStatus::failed)},
                  {"lines", nlohmann::json::array()},
                  {"errors", {"scrawlet: the application has not launched"}}};
        return answer.dump();
    }
    const char* tracked = trackedBy(mode_);
    runner_->setTrackedByDevice(tracked ? std::optional<std::string>(tracked) : std::nullopt);
    auto view = application_->sceneView();
    auto frameBefore = view ? view->session().currentFrame() : nullptr;
    std::ostringstream output, errors;
    auto status = runner_->run(text, "the script", {}, output, errors);
    // A script that delivered frames holds the camera where it put it;
    // walking goes on from there.
    if (auto frame = view ? view->session().currentFrame() : nullptr;
        inRoom() && frame && frame != frameBefore) {
        rig_.place(frame->camera.transform);
        framesFromScripts_ = true;
    }
    // A script may have resized the screen: it keeps that size.
    if (ui::Screen::main().bounds().size != pageSize_) fixedView_ = true;
    dirty_ = true;
    answer = {{"status", static_cast<int>(status)},
              {"lines", linesOf(output.str())},
              {"errors", linesOf(errors.str())}};
    return answer.dump();
}

// The screen presented on top, as the user sees it, so that a test reads
// and taps it as a user would: its kind, an alert's title and message, and
// what can be tapped on it in page coordinates (each target's role,
// rectangle and, for an alert's action, its title). Null when nothing is
// presented.
std::string WebHost::presented() {
    if (!launched()) return "null";
    auto frame = pointers_->describe();
    const auto* layout = frame.topLayout();
    auto screen = layout ? frame.presented.back().controller->presentedScreen() : std::nullopt;
    if (!screen) return "null";
    nlohmann::json shown;
    ui::AlertController* alert = nullptr;
    std::visit(platform::Overloaded{
                   [&](ui::AlertController* a) {
                       alert = a;
                       shown = {
                           {"type", "alert"},
                           {"title", a->title() ? nlohmann::json(*a->title()) : nullptr},
                           {"message", a->message() ? nlohmann::json(*a->message()) : nullptr}};
                   },
                   [&](ui::ImagePickerController*) {
                       shown = {{"type", "imagePicker"}};
                   },
                   [&](ui::ActivityViewController*) {
                       shown = {{"type", "share"}};
                   },
               },
               *screen);
    auto screenSize = ui::Screen::main().bounds().size;
    double sx = screenSize.width > 0 ? pageSize_.width / screenSize.width : 1;
    double sy = screenSize.height > 0 ? pageSize_.height / screenSize.height : 1;
    nlohmann::json targets = nlohmann::json::array();
    for (const auto& target : layout->targets) {
        nlohmann::json entry = {{"role", roleName(target.role)},
                                {"rect",
                                 {target.rect.origin.x * sx, target.rect.origin.y * sy,
                                  target.rect.width() * sx, target.rect.height() * sy}}};
        if (alert && target.actionIndex && *target.actionIndex < alert->actions().size())
            entry["title"] = alert->actions()[*target.actionIndex]->title().value_or("");
        targets.push_back(std::move(entry));
    }
    shown["targets"] = std::move(targets);
    return shown.dump();
}

void WebHost::mirror() {
    auto screen = ui::describeAccessible(pointers_->describe());
    if (mirrored_ == screen) return;
    auto size = ui::Screen::main().bounds().size;
    std::string json = mirrorJson(screen, size.width > 0 ? pageSize_.width / size.width : 1,
                                  size.height > 0 ? pageSize_.height / size.height : 1);
    mirrored_ = std::move(screen);
    scrawlet_page_mirror(json.c_str());
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

}  // namespace

std::unique_ptr<ui::Host> makeWebHost(ui::LaunchDescription backEnds) {
    return std::make_unique<WebHost>(std::move(backEnds));
}

}  // namespace web

// What the page calls. Each does nothing before the host exists.
extern "C" {

EMSCRIPTEN_KEEPALIVE void scrawlet_page_ready(const char* facts) {
    if (web::currentHost) web::currentHost->pageReady(facts);
}

// `milliseconds` is the event's own time stamp.
EMSCRIPTEN_KEEPALIVE void scrawlet_pointer(int phase, int id, int mouse, int button, double x,
                                           double y, double milliseconds) {
    if (web::currentHost)
        web::currentHost->pointer(static_cast<web::PointerPhase>(phase), id, mouse != 0, button, x,
                                  y, milliseconds);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_wheel(int rows) {
    if (web::currentHost) web::currentHost->wheel(rows);
}

// 1 when the key is one of ours, so that the browser does nothing else
// with it.
EMSCRIPTEN_KEEPALIVE int scrawlet_key(const char* code, int down, int control, int repeat) {
    return web::currentHost && web::currentHost->key(code, down != 0, control != 0, repeat != 0)
               ? 1
               : 0;
}

EMSCRIPTEN_KEEPALIVE void scrawlet_focus_lost() {
    if (web::currentHost) web::currentHost->focusLost();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_visibility(int visible) {
    if (web::currentHost) web::currentHost->visibility(visible != 0);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_shake() {
    if (web::currentHost) web::currentHost->shake();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_started() {
    if (web::currentHost) web::currentHost->xrStarted();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_xr_ended() {
    if (web::currentHost) web::currentHost->xrEnded();
}

// One XR frame: the viewer's camera-to-world transform and projection (16
// floats each, column-major, one after the other) and where to draw.
// `framebuffer` 0 is the page's canvas. Returns the planes drawn.
EMSCRIPTEN_KEEPALIVE int scrawlet_xr_frame(int framebuffer, int width, int height,
                                           const float* matrices) {
    if (!web::currentHost) return 0;
    return web::currentHost->xrFrame(static_cast<GLuint>(framebuffer), width, height, matrices,
                                     matrices + 16);
}

// Empty when the file was answered (taken, or refused with a message);
// else why our decoders cannot read its kind, for the browser to try. The
// text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_picked(const std::uint8_t* bytes, int length,
                                                 const char* name) {
    static std::string reason;
    reason = web::currentHost
                 ? web::currentHost->picked(
                       std::span(bytes, static_cast<std::size_t>(std::max(length, 0))), name)
                 : std::string();
    return reason.c_str();
}

// What the page asks the browser's decoder for, from a picked file's first
// bytes: the kept size of the upright picture ({"width", "height"}), a
// reason to refuse it at once ({"refused"}), or nothing ({}) when the bytes
// do not say, and the file goes the long way (our decoders, then the
// browser's as it is).
EMSCRIPTEN_KEEPALIVE const char* scrawlet_picture_plan(const std::uint8_t* bytes, int length) {
    static std::string plan;
    auto header = graphics::pictures::readPictureHeader(
        std::span(bytes, static_cast<std::size_t>(std::max(length, 0))));
    graphics::DecodeLimits limits;
    nlohmann::json answer = nlohmann::json::object();
    if (!header.known) {
    } else if (header.width <= 0 || header.height <= 0) {
        answer["refused"] = "the " + header.kind + " picture has no pixels";
    } else if (header.width > limits.maxStoredSide || header.height > limits.maxStoredSide) {
        answer["refused"] = "the " + header.kind + " picture claims " +
                            graphics::pictures::sizeText(header.width, header.height) +
                            " pixels, more than " + std::to_string(limits.maxStoredSide) +
                            " on a side";
    } else {
        auto kept = graphics::pictures::keptUprightSize(header, limits.maxSide);
        answer["width"] = kept.width;
        answer["height"] = kept.height;
    }
    plan = answer.dump();
    return plan.c_str();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_picked_pixels(std::uint8_t* rgba, int width, int height) {
    if (web::currentHost) web::currentHost->pickedPixels(rgba, width, height);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_pick_refused(const char* name, const char* reason) {
    if (web::currentHost) web::currentHost->pickRefused(name, reason);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_pick_cancelled() {
    if (web::currentHost) web::currentHost->pickCancelled();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_share_finished() {
    if (web::currentHost) web::currentHost->shareFinished();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_storage_answered(int id, int done, const char* reason) {
    if (web::currentHost) web::currentHost->documentAnswered(id, done != 0, reason);
}

EMSCRIPTEN_KEEPALIVE int scrawlet_unsaved_changes() {
    return web::currentHost && web::currentHost->unsavedChanges() ? 1 : 0;
}

// The answer as JSON: {status, lines, errors}. The text lives until the
// next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_run_script(const char* text) {
    static std::string answer;
    answer = web::currentHost ? web::currentHost->runScript(text) : std::string("null");
    return answer.c_str();
}

// The screen presented on top as JSON; the text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_presented() {
    static std::string shown;
    shown = web::currentHost ? web::currentHost->presented() : std::string("null");
    return shown.c_str();
}

// The page's mirror: its overlay button `index` pressed, or its dialog's
// choice `index` chosen.
EMSCRIPTEN_KEEPALIVE void scrawlet_mirror_press(int index) {
    if (web::currentHost) web::currentHost->pressMirrored(index);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_mirror_choose(int index) {
    if (web::currentHost) web::currentHost->chooseMirrored(index);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_redraw() {
    if (web::currentHost) web::currentHost->redraw();
}

}  // extern "C"
