// Every test program draws with the real graphics back end and stores scenes
// in the real scene file, as the program does, on a phone's screen at three
// pixels a point.
#include <gtest/gtest.h>

#include <csignal>

#include "app/Registration.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "support/Fixtures.h"

int main(int argc, char** argv) {
    // A script run that ends early closes its pipe; that is a result to
    // check, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    scrawlet::registerMainInterface();
    scrawlet::registerStateDump();
    ui::LaunchDescription description;
    description.graphics = graphics::makeCairoBackend();
    description.sceneFiles = scene::makeGltfSceneFileFormat();
    testsupport::PlatformScope platform(std::move(description));
    return RUN_ALL_TESTS();
}
