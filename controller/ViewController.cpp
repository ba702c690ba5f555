#include "controller/ViewController.h"

#include "platform/Precondition.h"
#include "platform/ar/Session.h"

namespace scrawlet {

// Every field takes its default from its declaration, so both paths give
// the same state.
ViewController::ViewController(const ui::Coder& coder) : ui::ViewController(coder) {}

ViewController::ViewController(std::optional<std::string> nibName,
                               std::optional<std::filesystem::path> bundle)
    : ui::ViewController(std::move(nibName), std::move(bundle)) {}

std::shared_ptr<ViewController> ViewController::self() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

void ViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    // A fresh configuration each time; the session runs again without
    // resetting, so the drawing keeps its place in the room.
    auto configuration = std::make_shared<ar::WorldTrackingConfiguration>();
    if (ar::WorldTrackingConfiguration::supportsFrameSemantics(
            ar::FrameSemantics::personSegmentationWithDepth)) {
        configuration->setFrameSemantics(configuration->frameSemantics() |
                                         ar::FrameSemantics::personSegmentationWithDepth);
    }
    platform::require(sceneView != nullptr, "viewWillAppear", "the scene view is not connected");
    sceneView->session().run(configuration, ar::RunOptions::none);
}

void ViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    platform::require(sceneView != nullptr, "viewWillDisappear", "the scene view is not connected");
    sceneView->session().pause();
}

void ViewController::didReceiveMemoryWarning() { ui::ViewController::didReceiveMemoryWarning(); }

bool ViewController::becomeFirstResponder() { return true; }

bool ViewController::prefersStatusBarHidden() const { return true; }

bool ViewController::prefersHomeIndicatorAutoHidden() const { return true; }

}  // namespace scrawlet
