// Every test program draws with the real graphics back end and stores scenes
// in the real scene file, as the program does.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/graphics/ImageContext.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/GltfSceneFile.h"

int main(int argc, char** argv) {
    // A script run that ends early closes its pipe; that is a result to
    // check, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    graphics::installBackend(graphics::makeCairoBackend());
    scene::installSceneFileFormat(scene::makeGltfSceneFileFormat());
    return RUN_ALL_TESTS();
}
