// Scrawlet's part of the state dump: the controller's fields, with the
// platform's parts (session, scene, overlay nodes, what is presented) where
// they belong, in the order the dump has always had.
#include "app/Registration.h"
#include "controller/ViewController.h"
#include "platform/automation/Dump.h"

namespace scrawlet {

namespace {
using automation::Json;

Json idsOf(const Stroke& stroke) {
    Json ids = Json::array();
    for (const auto& node : stroke) ids.push_back(node->id());
    return ids;
}

Json optionalText(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

// The controller's field that holds `node`, or none.
const char* fieldOf(const ViewController& c, const overlay::Node& node) {
    const std::pair<const overlay::Node*, const char*> fields[] = {
        {c.textLabel.get(), "textLabel"},    {c.menuButton.get(), "menuButton"},
        {c.undoButton.get(), "undoButton"},  {c.deleteButton.get(), "deleteButton"},
        {c.menuImage.get(), "menuImage"},    {c.undoImage.get(), "undoImage"},
        {c.deleteImage.get(), "deleteImage"}};
    for (auto [field, name] : fields)
        if (field == &node) return name;
    return nullptr;
}

Json dumpController(const ui::Application& application, const ViewController& c) {
    Json out;
    out["language"] = ViewController::preferredLanguage();
    out["distance"] = automation::floatValue(c.distance);
    out["pic"] = c.pic;
    out["draw"] = c.draw;
    out["fileName"] = optionalText(c.fileName);
    out["buttonSize"] = c.buttonSize;
    out["texts"] = Json{{"welcomeText", c.welcomeText}, {"cameraText", c.cameraText},
                        {"photoText", c.photoText},     {"loadText", c.loadText},
                        {"saveText", c.saveText},       {"shareText", c.shareText},
                        {"selectText", c.selectText},   {"clearText", c.clearText},
                        {"okText", c.okText},           {"cancelText", c.cancelText},
                        {"savedText", c.savedText},     {"saveFailedText", c.saveFailedText},
                        {"noSavedText", c.noSavedText}, {"loadFailedText", c.loadFailedText}};
    out["currentLine"] = idsOf(c.currentLine);
    Json lines = Json::array();
    for (const auto& stroke : c.lines) lines.push_back(idsOf(stroke));
    out["lines"] = lines;

    out["session"] = c.sceneView ? automation::dumpSession(*c.sceneView) : Json(nullptr);
    out["scene"] = c.sceneView && c.sceneView->scene()
                       ? Json{{"rootNode", automation::dumpNode(*c.sceneView->scene()->rootNode())}}
                       : Json(nullptr);
    Json hud = nullptr;
    if (c.hud) {
        Json nodes = Json::array();
        for (const auto& node : c.hud->children())
            nodes.push_back(automation::dumpOverlayNode(*node, fieldOf(c, *node)));
        hud = Json{{"size", {c.hud->size().width, c.hud->size().height}},
                   {"userInteractionEnabled", c.hud->isUserInteractionEnabled()},
                   {"nodes", nodes}};
    }
    out["hud"] = hud;
    out["presented"] = automation::dumpPresented(application);
    out["unsavedChanges"] = c.hasUnsavedChanges();
    out["documentFile"] = c.documentFile() ? Json(c.documentFile()->string()) : Json(nullptr);
    return out;
}

Json dumpApplication(const ui::Application& application) {
    auto root = application.rootViewController();
    // The root controller is ours once the main interface has made it.
    if (!root) return Json{{"launched", false}};
    return dumpController(application, static_cast<const ViewController&>(*root));
}
}  // namespace

void registerStateDump() { automation::registerStateDump(dumpApplication); }

}  // namespace scrawlet
