// The main interface: the window's root controller is our ViewController,
// made through its coder path, with the scene view as its outlet.
#include "app/Registration.h"
#include "controller/ViewController.h"
#include "platform/ui/Application.h"

namespace scrawlet {

void registerMainInterface() {
    ui::registerMainInterface({
        [](const ui::Coder& coder) -> std::shared_ptr<ui::ViewController> {
            return std::make_shared<ViewController>(coder);
        },
        [](ui::ViewController& controller, std::shared_ptr<ui::SceneView> sceneView) {
            static_cast<ViewController&>(controller).setSceneView(std::move(sceneView));
        },
    });
}

}  // namespace scrawlet
