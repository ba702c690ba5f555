// The browser host's script bridge, which the page's tests (and anyone at
// the browser's console) use: a script of the automation language run
// against the application, and the screen presented on top as the user
// sees it. Both answer in JSON, and say what failed rather than throw.
#include <emscripten.h>

#include <sstream>
#include <vector>

#include "platform/Overloaded.h"
#include "platform/Precondition.h"
#include "platform/ui/PresentedResponse.h"
#include "platform/web/WebHost.h"

namespace web {

namespace {
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

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

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
}  // namespace

std::string WebHost::runScript(std::string_view text) {
    nlohmann::json answer;
    if (!launched()) {
        answer = {{"status", static_cast<int>(automation::ScriptStatus::failed)},
                  {"lines", nlohmann::json::array()},
                  {"errors", {"scrawlet: the application has not launched"}}};
        return jsonText(answer);
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
        room_.rig().place(frame->camera.transform);
        framesFromScripts_ = true;
    }
    // A script may have resized the screen: it keeps that size.
    if (ui::Screen::main().bounds().size != pageSize_) fixedView_ = true;
    dirty_ = true;
    answer = {{"status", static_cast<int>(status)},
              {"lines", linesOf(output.str())},
              {"errors", linesOf(errors.str())}};
    return jsonText(answer);
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
    return jsonText(shown);
}

}  // namespace web

// What the page calls.
extern "C" {

// The answer as JSON: {status, lines, errors}; null before the host
// exists. The text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_run_script(const char* text) {
    auto* host = web::WebHost::current();
    return host ? host->answer(host->runScript(text)) : "null";
}

// The screen presented on top as JSON; the text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_presented() {
    auto* host = web::WebHost::current();
    return host ? host->answer(host->presented()) : "null";
}

}  // extern "C"
