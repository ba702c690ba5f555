// What one application runs with: its launch description and what that
// installs — the graphics back end with its image contexts and named
// images, the scene-file format, the main screen and its scale, what the
// device can do, the random source and its seed, the file manager. The
// application owns one; the framework-style accessors (Screen::main(),
// SystemRandom::shared(), FileManager::defaultManager(), the graphics back
// end) reach the one in force on the calling thread, put there by an
// EnvironmentScope while a host or a test drives that application.
#pragma once

#include "platform/ar/Session.h"
#include "platform/graphics/Context.h"
#include "platform/scene/Scene.h"
#include "platform/ui/Device.h"
#include "platform/ui/FileManager.h"
#include "platform/ui/LaunchDescription.h"
#include "platform/ui/Random.h"

namespace ui {

class Environment {
public:
    // An environment with `description` in force.
    explicit Environment(LaunchDescription description = {});
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // Puts `description` in force: the back ends, the screen's size and
    // scale, the device's capabilities and, when it has one, the seed.
    void apply(LaunchDescription description);

    const LaunchDescription& description() const { return description_; }
    // Whether the device has a camera to take photos with, which a
    // browser learns only after launch, and again when cameras come or go.
    void setHasCamera(bool hasCamera) { description_.hasCamera = hasCamera; }
    Screen& screen() { return screen_; }
    SystemRandom& random() { return random_; }
    FileManager& fileManager() { return fileManager_; }
    graphics::Context& graphics() { return graphics_; }
    scene::SceneFiles& sceneFiles() { return sceneFiles_; }
    const ar::DeviceCapabilities& deviceCapabilities() const { return capabilities_; }

private:
    LaunchDescription description_;
    graphics::Context graphics_;
    scene::SceneFiles sceneFiles_;
    ar::DeviceCapabilities capabilities_;
    Screen screen_{graphics_};
    SystemRandom random_;
    FileManager fileManager_;
};

// Puts an environment in force on the calling thread, at every level, for
// as long as it lives, and the one before back afterwards. Scopes nest;
// each thread has its own.
class EnvironmentScope {
public:
    explicit EnvironmentScope(Environment& environment);

private:
    platform::Current<Environment> ui_;
    graphics::ContextScope graphics_;
    scene::SceneFilesScope sceneFiles_;
    ar::DeviceCapabilitiesScope capabilities_;
};

// The environment in force on this thread, or none.
Environment* currentEnvironment();
// That environment; a broken precondition without one.
Environment& environment(const char* operation);

}  // namespace ui
