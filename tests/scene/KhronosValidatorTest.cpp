// A saved drawing is valid glTF: the Khronos glTF validator (installed by
// scripts/setup under tools/validator) finds no errors in it, and does find
// them in a broken file, so that its run can fail.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "SceneFiles.h"
#include "support/Scripts.h"

namespace {

// The validator's exit status and what it printed.
std::pair<int, std::string> validate(const std::filesystem::path& file) {
    auto tool = std::filesystem::path(SCRAWLET_SOURCE_DIR) / "tools/validator";
    std::string command =
        "node '" + (tool / "validate.mjs").string() + "' '" + file.string() + "' 2>&1";
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, "cannot run node"};
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(KhronosValidator, FindsNoErrorsInADrawingAndReportsThoseOfABrokenFile) {
    if (std::system("command -v node >/dev/null") != 0)
        GTEST_SKIP() << "node is not installed, so the glTF validator cannot run";
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(SCRAWLET_SOURCE_DIR) /
                                        "tools/validator/node_modules/gltf-validator"))
        << "the glTF validator is not installed: run scripts/setup";

    // Sprites of two pictures, a turned photo with an orientation tag, and
    // a container with a translucent one inside.
    scene::Scene scene;
    auto heart = scenefiles::patternImage(90, 90, 1);
    auto star = scenefiles::patternImage(90, 90, 2);
    for (int i = 0; i < 6; ++i) {
        auto sprite = scenefiles::sprite(i % 2 == 0 ? heart : star);
        sprite->setPosition({i * 0.05f, 0.1f, -0.5f});
        scene.rootNode()->addChildNode(sprite);
    }
    auto photo = scenefiles::photo(std::make_shared<graphics::Image>(
        scenefiles::patternBitmap(64, 48, 3), 1.0, graphics::ImageOrientation::right));
    photo->setPosition({0, 0, -1.1f});
    photo->setRotation({0, 1, 0, 0.3f});
    scene.rootNode()->addChildNode(photo);
    auto container = scene::Node::make();
    auto inner = scene::Node::make();
    inner->setOpacity(0.5f);
    inner->addChildNode(scenefiles::sprite(heart));
    container->addChildNode(scenefiles::sprite(star));
    container->addChildNode(inner);
    scene.rootNode()->addChildNode(container);

    auto folder = testsupport::freshDirectory("khronos-validator");
    auto file = folder / "scrawlet.glb";
    scenefiles::writeBytes(file, scenefiles::encode(scene));
    auto [status, output] = validate(file);
    std::printf("%s", output.c_str());
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find(" 0 errors"), std::string::npos) << output;
    std::filesystem::remove_all(folder);

    auto [brokenStatus, brokenOutput] = validate(testsupport::testData("scenes/garbage.glb"));
    EXPECT_EQ(brokenStatus, 1) << brokenOutput;
    EXPECT_NE(brokenOutput.find("GLB_INVALID_MAGIC"), std::string::npos) << brokenOutput;
}

}  // namespace
