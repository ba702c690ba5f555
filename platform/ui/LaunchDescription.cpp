#include "platform/ui/LaunchDescription.h"

#include "platform/ar/Session.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/ImageContext.h"
#include "platform/scene/Scene.h"
#include "platform/ui/Random.h"

namespace ui {

namespace {
LaunchScope*& innermost() {
    static LaunchScope* scope = nullptr;
    return scope;
}

// The layers below `ui` keep what they need of the description themselves,
// as they cannot ask `ui` for it.
void applyBelowUi(const LaunchDescription& description) {
    graphics::installBackend(description.graphics);
    scene::installSceneFileFormat(description.sceneFiles);
    graphics::setMainScreenScale(description.scale);
    ar::setDeviceCapabilities({description.personSegmentationWithDepth});
    Screen::main().setBounds({{0, 0}, description.screenSize});
}
}  // namespace

const LaunchDescription& currentLaunchDescription() {
    static const LaunchDescription defaults;
    return innermost() ? innermost()->description() : defaults;
}

LaunchScope::LaunchScope(LaunchDescription description)
    : description_(std::move(description)), previous_(innermost()) {
    innermost() = this;
    applyBelowUi(description_);
    if (description_.seed) SystemRandom::shared().seed(*description_.seed);
}

LaunchScope::~LaunchScope() {
    innermost() = previous_;
    applyBelowUi(currentLaunchDescription());
}

}  // namespace ui
