#include "platform/automation/Dump.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/Numbers.h"
#include "platform/Overloaded.h"
#include "platform/graphics/Color.h"
#include "platform/ui/Presentation.h"
#include "platform/ui/PresentedResponse.h"

namespace automation {

namespace {
StateDump& registered() {
    static StateDump dump = nullptr;
    return dump;
}

Json vector3(scene::Vector3 v) {
    return Json::array({floatValue(v.x), floatValue(v.y), floatValue(v.z)});
}

Json matrix(const scene::Matrix4& m) {
    Json values = Json::array();
    for (const auto& column : m.columns)
        for (float value : column) values.push_back(floatValue(value));
    return values;
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
    platform::unreachable("styleName");
}

const char* sourceName(ui::ImagePickerSourceType source) {
    switch (source) {
        case ui::ImagePickerSourceType::camera: return "camera";
        case ui::ImagePickerSourceType::photoLibrary: return "photoLibrary";
        case ui::ImagePickerSourceType::savedPhotosAlbum: return "savedPhotosAlbum";
    }
    platform::unreachable("sourceName");
}

const char* alignmentName(overlay::HorizontalAlignmentMode mode) {
    switch (mode) {
        case overlay::HorizontalAlignmentMode::center: return "center";
        case overlay::HorizontalAlignmentMode::left: return "left";
        case overlay::HorizontalAlignmentMode::right: return "right";
    }
    platform::unreachable("alignmentName");
}

Json optionalText(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

Json alertValue(ui::AlertController& alert) {
    Json actions = Json::array();
    for (const auto& action : alert.actions())
        actions.push_back(
            {{"title", optionalText(action->title())}, {"style", styleName(action->style())}});
    return Json{
        {"type", "alert"},
        {"preferredStyle",
         alert.preferredStyle() == ui::AlertControllerStyle::alert ? "alert" : "actionSheet"},
        {"title", optionalText(alert.title())},
        {"message", optionalText(alert.message())},
        {"actions", actions},
        {"popover", popoverValue(alert)}};
}

Json pickerValue(ui::ImagePickerController& picker) {
    bool popoverStyle = picker.modalPresentationStyle() == ui::ModalPresentationStyle::popover;
    return Json{{"type", "imagePicker"},
                {"sourceType", sourceName(picker.sourceType())},
                {"modalPresentationStyle", popoverStyle ? "popover" : "default"},
                {"popover", popoverValue(picker)}};
}

Json shareValue(ui::ActivityViewController& share) {
    Json items = Json::array();
    for (const auto& item : share.activityItems())
        std::visit(platform::Overloaded{
                       [&](const std::string& text) { items.push_back(text); },
                       [&](const std::shared_ptr<graphics::Image>& image) {
                           items.push_back({{"image", image ? imageValue(*image) : Json(nullptr)}});
                       },
                   },
                   item);
    return Json{{"type", "share"}, {"items", items}, {"popover", popoverValue(share)}};
}
}  // namespace

Json floatValue(float value) {
    if (!std::isfinite(value)) return static_cast<double>(value);
    return std::strtod(platform::shortestText(value).c_str(), nullptr);
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
    if (node.hasBillboardConstraint()) constraints.push_back("billboard");
    out["constraints"] = constraints;
    Json children = Json::array();
    for (const auto& child : node.childNodes()) children.push_back(dumpNode(*child));
    out["children"] = children;
    return out;
}

Json dumpSession(const ui::SceneView& view) {
    const ar::Session& s = view.session();
    Json semantics = 0;
    if (auto* world = dynamic_cast<const ar::WorldTrackingConfiguration*>(s.configuration().get()))
        semantics = ar::rawValue(world->frameSemantics());
    auto frame = s.currentFrame();
    return Json{{"running", s.isRunning()},
                {"runCount", s.runCount()},
                {"pauseCount", s.pauseCount()},
                {"frameSemantics", semantics},
                {"lastRunOptions", static_cast<unsigned>(s.lastRunOptions())},
                {"mode", ar::trackingModeName(s.trackingMode())},
                {"hasFrame", frame != nullptr},
                {"cameraTransform", frame ? matrix(frame->camera.transform) : Json(nullptr)},
                {"projection", frame ? matrix(view.projectionMatrix()) : Json(nullptr)}};
}

Json dumpOverlayNode(const overlay::Node& node, const char* field) {
    Json out;
    out["field"] = field ? Json(field) : Json(nullptr);
    std::visit(platform::Overloaded{
                   [&](const overlay::LabelNode* label) {
                       out["type"] = "label";
                       out["position"] = point(label->position());
                       out["text"] = label->text();
                       out["fontName"] = label->fontName();
                       out["fontSize"] = label->fontSize();
                       out["horizontalAlignment"] = alignmentName(label->horizontalAlignmentMode());
                   },
                   [&](const overlay::ShapeNode* shape) {
                       out["type"] = "circle";
                       out["position"] = point(shape->position());
                       out["radius"] = shape->radius();
                       out["fillColor"] = graphics::colorName(shape->fillColor());
                       out["strokeColor"] = graphics::colorName(shape->strokeColor());
                   },
                   [&](const overlay::SpriteNode* sprite) {
                       out["type"] = "sprite";
                       out["imageName"] = sprite->imageName();
                       out["position"] = point(sprite->position());
                   },
                   [&](const overlay::Node* plain) {
                       out["type"] = "node";
                       out["position"] = point(plain->position());
                   },
               },
               node.shown());
    out["alpha"] = node.alpha();
    return out;
}

Json dumpPresented(const ui::Application& application) {
    auto root = application.rootViewController();
    auto presented = root ? root->presentedViewController() : nullptr;
    if (!presented) return nullptr;
    auto screen = presented->presentedScreen();
    if (!screen) return Json{{"type", "controller"}};
    return std::visit(platform::Overloaded{
                          [](ui::AlertController* alert) { return alertValue(*alert); },
                          [](ui::ImagePickerController* picker) { return pickerValue(*picker); },
                          [](ui::ActivityViewController* share) { return shareValue(*share); },
                      },
                      *screen);
}

void registerStateDump(StateDump dump) { registered() = dump; }

Json dumpState(const ui::Application& application) {
    if (registered() != nullptr) return registered()(application);
    Json out;
    auto view = application.sceneView();
    out["session"] = view ? dumpSession(*view) : Json(nullptr);
    out["scene"] = view && view->scene() ? Json{{"rootNode", dumpNode(*view->scene()->rootNode())}}
                                         : Json(nullptr);
    out["presented"] = dumpPresented(application);
    return out;
}

}  // namespace automation
