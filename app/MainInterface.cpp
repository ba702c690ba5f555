// The main interface: the window's root controller is our ViewController,
// made through its coder path, with the scene view as its outlet.
#include "controller/ViewController.h"
#include "platform/ui/Application.h"

namespace ui {

const InterfaceDescription& mainInterface() {
    static const InterfaceDescription description{
        [](const Coder& coder) -> std::shared_ptr<ViewController> {
            return std::make_shared<scrawlet::ViewController>(coder);
        },
        [](ViewController& controller, std::shared_ptr<SceneView> sceneView) {
            static_cast<scrawlet::ViewController&>(controller).setSceneView(std::move(sceneView));
        },
    };
    return description;
}

}  // namespace ui
