// The browser host's start-up and frames: the page describes itself, the
// host makes the WebGL 2 context and the renderer, launches the
// application, and draws an animation frame whenever something changed.
#include "platform/web/WebHost.h"

#include <GLES3/gl3.h>
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "platform/Precondition.h"
#include "platform/automation/Script.h"
#include "platform/ui/Locale.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/web/AccessibleMirror.h"

namespace web {

namespace {

// The documents folder lives in the browser's IndexedDB; the other folders
// only for the visit.
const std::filesystem::path documentsFolder = "/home/web_user/Documents";
const std::filesystem::path picturesFolder = "/home/web_user/Pictures";
constexpr const char* resourcesFolder = "/resources";

// A phone's screen is narrower than this; a larger browser window shows
// sheets and pickers as popovers, as a pad does.
constexpr double phoneWidthLimit = 600;

// The one host the page's calls reach, and the page's WebGL 2 context.
WebHost* currentHost = nullptr;
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE glContext = 0;
void makeContextCurrent() { emscripten_webgl_make_context_current(glContext); }

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

// The member `key` of `object`, when it is what `is` asks for.
platform::Result<const nlohmann::json*> member(const nlohmann::json& object, const char* key,
                                               bool (nlohmann::json::*is)() const noexcept,
                                               const char* what) {
    auto found = object.find(key);
    if (found == object.end() || !((*found).*is)())
        return platform::fail(std::string("\"") + key + "\" is not " + what);
    return &*found;
}
platform::Result<double> number(const nlohmann::json& object, const char* key) {
    TRY_LET(value, member(object, key, &nlohmann::json::is_number, "a number"));
    return value->get<double>();
}

platform::Result<PageFacts> readFacts(std::string_view text) {
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return platform::fail("not a JSON object");
    PageFacts facts;
    TRY_LET(width, number(json, "width"));
    TRY_LET(height, number(json, "height"));
    facts.size = {width, height};
    TRY_LET(pixelRatio, number(json, "pixelRatio"));
    facts.pixelRatio = pixelRatio > 0 ? pixelRatio : 1;
    TRY_LET(insets, member(json, "insets", &nlohmann::json::is_object, "an object"));
    TRY_LET(top, number(*insets, "top"));
    TRY_LET(left, number(*insets, "left"));
    TRY_LET(bottom, number(*insets, "bottom"));
    TRY_LET(right, number(*insets, "right"));
    facts.insets = {top, left, bottom, right};
    TRY_LET(languages, member(json, "languages", &nlohmann::json::is_array, "a list"));
    for (const auto& language : *languages) {
        if (!language.is_string()) return platform::fail("\"languages\" holds more than texts");
        facts.languages.push_back(language.get<std::string>());
    }
    TRY_LET(camera, member(json, "camera", &nlohmann::json::is_boolean, "true or false"));
    facts.hasCamera = camera->get<bool>();
    TRY_LET(setup, member(json, "setup", &nlohmann::json::is_string, "a text"));
    facts.setup = setup->get<std::string>();
    return facts;
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

}  // namespace

WebHost::WebHost(ui::LaunchDescription backEnds)
    : backEnds_(std::move(backEnds)),
      camera_(room_.rig(), {[this] { enterTracked(ar::TrackingMode::camera); },
                            [this](const scene::Matrix4& pose) { leaveTracked(pose); }}),
      documents_(std::make_shared<WebDocumentStore>(documentsFolder)) {
    currentHost = this;
}

WebHost::~WebHost() { currentHost = nullptr; }

WebHost* WebHost::current() { return currentHost; }

int WebHost::run(ui::Application& application) {
    application_ = &application;
    driven_.emplace(application);
    setenv("SCRAWLET_RESOURCES", resourcesFolder, 1);
    scrawlet_storage_mount(documentsFolder.c_str());
    scrawlet_page_prepare();
    return 0;
}

void WebHost::makeCurrent() { makeContextCurrent(); }

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
    glGetIntegerv(GL_SAMPLES, &canvasSamples_);
    // The browser hands the drawing to a GPU (or its own rasteriser in a
    // GPU process), where early-Z rejects hidden fragments for nothing and
    // the software rasteriser's tricks only cost the main thread.
    // Large pictures are uploaded a band a frame: the compositor waits for
    // the GPU process to take each upload in, and a whole photo at once
    // held the page's main thread for seconds.
    const ui::RenderOptions renderOptions = ui::RenderOptions::page();
    auto renderer = render::Renderer::make(renderOptions);
    if (!renderer) {
        fail("webGlCannotDraw", renderer.error());
        return;
    }
    renderer_ = std::move(renderer).value();
    pictures_->attach(*renderer_, makeContextCurrent);

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
            fixedCamera_ = fixedCamera_ || command.name == "camera";
        }
    }
    std::ostringstream output, errors;
    if (!setup.empty() && runner_->run(setup, "the page's set-up", {}, output, errors) !=
                              automation::ScriptStatus::done) {
        fail("couldNotStart", errors.str());
        return;
    }
    application_->launch(runner_->launchDescription());
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

void WebHost::syncSize() {
    double size[2] = {0, 0};
    scrawlet_page_overlay_size(size);
    const double width = size[0], height = size[1];
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
        view->session().deliverFrame(room_.rig().pose());
}

void WebHost::animationFrame(double milliseconds) {
    double seconds = lastFrameTime_ > 0 ? (milliseconds - lastFrameTime_) / 1000 : 0;
    lastFrameTime_ = milliseconds;
    // In augmented reality the XR frames draw.
    if (!launched() || mode_ == ar::TrackingMode::ar) return;
    auto size = pageSize_;
    syncSize();
    if (camera_.running() && (camera_.advance(seconds) || size != pageSize_)) deliverCameraFrame();
    if (inRoom() && room_.advance(seconds)) walked();
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
    const ui::FrameDescription frame = pointers_->describe();
    renderer_->drawFrame(frame, width, height, canvasSamples_);
    const std::size_t uploading = renderer_->lastFrame().uploading;
    scrawlet_page_frame_drawn(static_cast<int>(renderer_->lastFrame().planes),
                              emscripten_get_now() - start, static_cast<int>(uploading));
    // A picture's upload under way goes on in the next frame.
    if (uploading > 0) dirty_ = true;
    mirror(frame);
}

// The frame just drawn, described once for the renderer and the mirror.
void WebHost::mirror(const ui::FrameDescription& frame) {
    auto screen = ui::describeAccessible(frame);
    if (mirrored_ == screen) return;
    auto size = ui::Screen::main().bounds().size;
    std::string json = mirrorJson(screen, size.width > 0 ? pageSize_.width / size.width : 1,
                                  size.height > 0 ? pageSize_.height / size.height : 1);
    mirrored_ = std::move(screen);
    scrawlet_page_mirror(json.c_str());
}

ui::HostChoice hostChoice() {
    return {"web", "", "", [](ui::HostRequest request) {
                return std::unique_ptr<ui::Host>(
                    std::make_unique<WebHost>(std::move(request.backEnds)));
            }};
}

}  // namespace web

// What the page calls. Each does nothing before the host exists.
extern "C" {

EMSCRIPTEN_KEEPALIVE void scrawlet_page_ready(const char* facts) {
    if (auto* host = web::WebHost::current()) host->pageReady(facts);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_redraw() {
    if (auto* host = web::WebHost::current()) host->redraw();
}

}  // extern "C"
