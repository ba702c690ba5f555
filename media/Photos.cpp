// Photos in space: a picture from the camera or the library becomes a
// slightly transparent plane 1 metre wide, 1.1 metres straight ahead of the
// camera, facing it, fixed in the room.
#include <any>

#include "controller/ViewController.h"
#include "platform/Precondition.h"

namespace scrawlet {

namespace {
constexpr double photoWidth = 1.0;
constexpr float photoDistance = -1.1f;
constexpr float photoOpacity = 0.9f;
}  // namespace

void ViewController::takePhoto() {
    if (!ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::camera))
        return;
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setDelegate(self());
    picker->setSourceType(ui::ImagePickerSourceType::camera);
    presentViewController(picker, true, nullptr);
}

void ViewController::pickPhoto() {
    auto picker = std::make_shared<ui::ImagePickerController>();
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::popover);
    picker->setDelegate(self());
    picker->setSourceType(ui::ImagePickerSourceType::photoLibrary);
    if (auto* popover = picker->popoverPresentationController()) {
        popover->setSourceView(sceneView.get());
        popover->setSourceRect({{buttonSize * 0.5, 0}, {40, 40}});
        popover->setPermittedArrowDirections(ui::PopoverArrowDirection::up);
    }
    presentViewController(picker, true, nullptr);
}

void ViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    ui::ImagePickerController& picker, const ui::ImagePickerInfo& info) {
    placePhoto(picker, info);
}

void ViewController::imagePickerControllerDidCancel(ui::ImagePickerController& picker) {
    picker.dismissViewControllerAnimated(true, nullptr);
}

void ViewController::placePhoto(ui::ImagePickerController& picker,
                                const ui::ImagePickerInfo& info) {
    picker.dismissViewControllerAnimated(true, nullptr);

    std::shared_ptr<graphics::Image> picked;
    if (auto entry = info.find(ui::imagePickerOriginalImage); entry != info.end()) {
        if (auto* image = std::any_cast<std::shared_ptr<graphics::Image>>(&entry->second))
            picked = *image;
    }
    platform::require(picked != nullptr, "placePhoto", "the picker delivered no image");
    auto upright = normalizedImage(picked);

    graphics::Size size = upright->size();
    auto plane = scene::Plane::planeWithWidth(photoWidth, size.height / size.width);
    auto node = scene::Node::nodeWithGeometry(plane);
    if (auto material = plane->firstMaterial()) {
        material->doubleSided = true;
        material->diffuse.contents = upright;
    }
    node->setOpacity(photoOpacity);

    platform::require(sceneView != nullptr && sceneView->scene() != nullptr, "placePhoto",
                      "the scene view has no scene");
    if (auto frame = sceneView->session().currentFrame()) {
        auto p = frame->camera.transform * std::array<float, 4>{0, 0, photoDistance, 1};
        node->setPosition({p[0], p[1], p[2]});
        node->setRotation(sceneView->pointOfView()->rotation());
    }
    sceneView->scene()->rootNode()->addChildNode(node);
    lines.push_back(Stroke{node});
    edited_ = true;
}

}  // namespace scrawlet
