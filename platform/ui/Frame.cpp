#include "platform/ui/Frame.h"

#include "platform/ui/LaunchDescription.h"

namespace ui {

FrameDescription FrameBuilder::describe(const Application& application,
                                        const PresentedInteraction& interaction) {
    FrameDescription frame;
    frame.sceneView = application.sceneView();
    if (!application.windows().empty())
        frame.screenSize = application.windows().front()->frame().size;
    else if (frame.sceneView)
        frame.screenSize = frame.sceneView->frame().size;

    std::vector<std::shared_ptr<ViewController>> stack;
    if (auto root = application.rootViewController())
        for (auto presented = root->presentedViewController(); presented;
             presented = presented->presentedViewController())
            stack.push_back(presented);

    PresentedEnvironment environment;
    environment.screenSize = frame.screenSize;
    if (!application.windows().empty())
        environment.safeAreaInsets = application.windows().front()->safeAreaInsets();
    environment.idiom = currentLaunchDescription().idiom;
    environment.photoLibrary = currentLaunchDescription().photoLibrary;

    kept_.resize(stack.size());
    for (std::size_t level = 0; level < stack.size(); ++level) {
        auto screen = stack[level]->presentedScreen();
        if (!screen) continue;
        // Only the innermost screen is held and scrolled.
        PresentedEnvironment here = environment;
        if (level + 1 == stack.size()) {
            here.pressedTarget = interaction.pressedTarget;
            here.pickerFirstRow = interaction.pickerFirstRow;
        }
        Kept& kept = kept_[level];
        if (!kept.layout || kept.controller.lock() != stack[level] || !(kept.environment == here)) {
            kept = {stack[level], here,
                    std::make_shared<const PresentedLayout>(layoutPresented(*screen, here))};
        }
        frame.presented.push_back({stack[level], kept.layout});
    }
    return frame;
}

}  // namespace ui
