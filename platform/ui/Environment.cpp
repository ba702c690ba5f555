#include "platform/ui/Environment.h"

#include "platform/Precondition.h"

namespace ui {

Environment::Environment(LaunchDescription description) { apply(std::move(description)); }

void Environment::apply(LaunchDescription description) {
    description_ = std::move(description);
    graphics_.backend = description_.graphics;
    screen_.setScale(description_.scale);
    sceneFiles_.format = description_.sceneFiles;
    capabilities_ = {description_.personSegmentationWithDepth};
    screen_.setBounds({{0, 0}, description_.screenSize});
    if (description_.seed) random_.seed(*description_.seed);
}

EnvironmentScope::EnvironmentScope(Environment& environment)
    : ui_(environment),
      graphics_(environment.graphics()),
      sceneFiles_(environment.sceneFiles()),
      capabilities_(environment.deviceCapabilities()) {}

Environment* currentEnvironment() { return platform::Current<Environment>::get(); }

Environment& environment(const char* operation) {
    Environment* current = currentEnvironment();
    platform::require(current != nullptr, operation, "no application environment in force");
    return *current;
}

const LaunchDescription& currentLaunchDescription() {
    return environment("currentLaunchDescription").description();
}

}  // namespace ui
