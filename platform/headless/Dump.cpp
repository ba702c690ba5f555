#include "platform/headless/Dump.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/graphics/Color.h"

namespace headless {

namespace {
Json idsOf(const scrawlet::Stroke& stroke) {
    Json ids = Json::array();
    for (const auto& node : stroke) ids.push_back(node->id());
    return ids;
}

Json vector3(scene::Vector3 v) {
    return Json::array({floatValue(v.x), floatValue(v.y), floatValue(v.z)});
}

Json imageValue(const graphics::Image& image) {
    auto size = image.size();
    // The hash tells pictures apart: images that show the same pixels have
    // the same one.
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(image.cgImage()->contentHash()));
    return Json{{"width", size.width},
                {"height", size.height},
                {"scale", image.scale()},
                {"orientation", std::string(graphics::orientationName(image.imageOrientation()))},
                {"pixels", hash}};
}

Json point(graphics::Point p) { return Json::array({p.x, p.y}); }

Json popoverValue(ui::ViewController& controller) {
    // Only a pad shows popovers; asking elsewhere gives none.
    auto* popover = controller.popoverPresentationController();
    if (popover == nullptr) return nullptr;
    auto rect = popover->sourceRect();
    Json arrows = Json::array();
    unsigned directions = popover->permittedArrowDirections();
    const std::pair<ui::PopoverArrowDirection, const char*> names[] = {
        {ui::PopoverArrowDirection::up, "up"},
        {ui::PopoverArrowDirection::down, "down"},
        {ui::PopoverArrowDirection::left, "left"},
        {ui::PopoverArrowDirection::right, "right"}};
    for (auto [direction, name] : names)
        if (directions & static_cast<unsigned>(direction)) arrows.push_back(name);
    return Json{{"sourceRect", {rect.origin.x, rect.origin.y, rect.width(), rect.height()}},
                {"permittedArrowDirections", arrows}};
}

const char* styleName(ui::AlertActionStyle style) {
    switch (style) {
        case ui::AlertActionStyle::defaultStyle: return "default";
        case ui::AlertActionStyle::cancel: return "cancel";
        case ui::AlertActionStyle::destructive: return "destructive";
    }
    return "default";
}

Json optionalText(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

Json hudNode(const scrawlet::ViewController& c, const overlay::Node& node) {
    Json out;
    const std::pair<const overlay::Node*, const char*> fields[] = {
        {c.textLabel.get(), "textLabel"},    {c.menuButton.get(), "menuButton"},
        {c.undoButton.get(), "undoButton"},  {c.deleteButton.get(), "deleteButton"},
        {c.menuImage.get(), "menuImage"},    {c.undoImage.get(), "undoImage"},
        {c.deleteImage.get(), "deleteImage"}};
    out["field"] = nullptr;
    for (auto [field, name] : fields)
        if (field == &node) out["field"] = name;
    if (auto* label = dynamic_cast<const overlay::LabelNode*>(&node)) {
        out["type"] = "label";
        out["position"] = point(label->position());
        out["text"] = label->text();
        out["fontName"] = label->fontName();
        out["fontSize"] = label->fontSize();
        switch (label->horizontalAlignmentMode()) {
            case overlay::HorizontalAlignmentMode::center:
                out["horizontalAlignment"] = "center";
                break;
            case overlay::HorizontalAlignmentMode::left: out["horizontalAlignment"] = "left"; break;
            case overlay::HorizontalAlignmentMode::right:
                out["horizontalAlignment"] = "right";
                break;
        }
    } else if (auto* shape = dynamic_cast<const overlay::ShapeNode*>(&node)) {
        out["type"] = "circle";
        out["position"] = point(shape->position());
        out["radius"] = shape->radius();
        out["fillColor"] = graphics::colorName(shape->fillColor());
        out["strokeColor"] = graphics::colorName(shape->strokeColor());
    } else if (auto* sprite = dynamic_cast<const overlay::SpriteNode*>(&node)) {
        out["type"] = "sprite";
        out["imageName"] = sprite->imageName();
        out["position"] = point(sprite->position());
    } else {
        out["type"] = "node";
        out["position"] = point(node.position());
    }
    out["alpha"] = node.alpha();
    return out;
}
}  // namespace

Json floatValue(float value) {
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    if (error != std::errc()) return static_cast<double>(value);
    return std::strtod(std::string(text, end).c_str(), nullptr);
}

Json dumpNode(const scene::Node& node) {
    Json out;
    out["id"] = node.id();
    out["position"] = vector3(node.position());
    auto r = node.rotation();
    out["rotation"] =
        Json::array({floatValue(r.x), floatValue(r.y), floatValue(r.z), floatValue(r.w)});
    out["opacity"] = floatValue(node.opacity());
    Json geometry = nullptr;
    if (auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get())) {
        Json material = nullptr;
        if (auto first = plane->firstMaterial()) {
            material = Json{{"doubleSided", first->doubleSided},
                            {"image", first->diffuse.contents ? imageValue(*first->diffuse.contents)
                                                              : Json(nullptr)}};
        }
        geometry = Json{{"type", "plane"},
                        {"width", plane->width()},
                        {"height", plane->height()},
                        {"material", material}};
    }
    out["geometry"] = geometry;
    Json constraints = Json::array();
    for (const auto& constraint : node.constraints())
        if (dynamic_cast<const scene::BillboardConstraint*>(constraint.get()))
            constraints.push_back("billboard");
    out["constraints"] = constraints;
    Json children = Json::array();
    for (const auto& child : node.childNodes()) children.push_back(dumpNode(*child));
    out["children"] = children;
    return out;
}

Json dumpPresented(ui::ViewController* presented) {
    if (presented == nullptr) return nullptr;
    if (auto* alert = dynamic_cast<ui::AlertController*>(presented)) {
        Json actions = Json::array();
        for (const auto& action : alert->actions())
            actions.push_back(
                {{"title", optionalText(action->title())}, {"style", styleName(action->style())}});
        return Json{
            {"type", "alert"},
            {"preferredStyle",
             alert->preferredStyle() == ui::AlertControllerStyle::alert ? "alert" : "actionSheet"},
            {"title", optionalText(alert->title())},
            {"message", optionalText(alert->message())},
            {"actions", actions},
            {"popover", popoverValue(*alert)}};
    }
    if (auto* picker = dynamic_cast<ui::ImagePickerController*>(presented)) {
        const char* source = "photoLibrary";
        switch (picker->sourceType()) {
            case ui::ImagePickerSourceType::camera: source = "camera"; break;
            case ui::ImagePickerSourceType::photoLibrary: source = "photoLibrary"; break;
            case ui::ImagePickerSourceType::savedPhotosAlbum: source = "savedPhotosAlbum"; break;
        }
        bool popoverStyle = picker->modalPresentationStyle() == ui::ModalPresentationStyle::popover;
        return Json{{"type", "imagePicker"},
                    {"sourceType", source},
                    {"modalPresentationStyle", popoverStyle ? "popover" : "default"},
                    {"popover", popoverValue(*picker)}};
    }
    if (auto* share = dynamic_cast<ui::ActivityViewController*>(presented)) {
        Json items = Json::array();
        for (const auto& item : share->activityItems()) {
            if (auto* text = std::get_if<std::string>(&item))
                items.push_back(*text);
            else if (auto* image = std::get_if<std::shared_ptr<graphics::Image>>(&item))
                items.push_back({{"image", *image ? imageValue(**image) : Json(nullptr)}});
        }
        return Json{{"type", "share"}, {"items", items}, {"popover", popoverValue(*share)}};
    }
    return Json{{"type", "controller"}};
}

Json dumpState(const ui::Application& application, const scrawlet::ViewController& c) {
    Json out;
    out["language"] = scrawlet::ViewController::preferredLanguage();
    out["distance"] = floatValue(c.distance);
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

    Json session = nullptr;
    Json sceneValue = nullptr;
    if (c.sceneView) {
        const ar::Session& s = c.sceneView->session();
        Json semantics = 0;
        if (auto* world =
                dynamic_cast<const ar::WorldTrackingConfiguration*>(s.configuration().get()))
            semantics = ar::rawValue(world->frameSemantics());
        session = Json{{"running", s.isRunning()},
                       {"runCount", s.runCount()},
                       {"pauseCount", s.pauseCount()},
                       {"frameSemantics", semantics},
                       {"lastRunOptions", static_cast<unsigned>(s.lastRunOptions())},
                       {"hasFrame", s.currentFrame() != nullptr}};
        if (c.sceneView->scene())
            sceneValue = Json{{"rootNode", dumpNode(*c.sceneView->scene()->rootNode())}};
    }
    out["session"] = session;
    out["scene"] = sceneValue;

    Json hud = nullptr;
    if (c.hud) {
        Json nodes = Json::array();
        for (const auto& node : c.hud->children()) nodes.push_back(hudNode(c, *node));
        hud = Json{{"size", {c.hud->size().width, c.hud->size().height}},
                   {"userInteractionEnabled", c.hud->isUserInteractionEnabled()},
                   {"nodes", nodes}};
    }
    out["hud"] = hud;
    auto root = application.rootViewController();
    out["presented"] = dumpPresented(root ? root->presentedViewController().get() : nullptr);
    return out;
}

}  // namespace headless
