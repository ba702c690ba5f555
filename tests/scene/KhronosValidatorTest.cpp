// A saved drawing is valid glTF: the Khronos glTF validator (installed by
// scripts/setup under tools/validator) finds no errors in it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "SceneFiles.h"
#include "platform/scene/Scene.h"
#include "support/Scripts.h"

namespace {

std::optional<std::filesystem::path> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        auto candidate = std::filesystem::path(folder.empty() ? "." : folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

struct CommandRun {
    int status = -1;
    std::string output;
};

CommandRun run(const std::string& command) {
    CommandRun result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

class KhronosValidator : public testing::Test {
protected:
    void SetUp() override {
        node = findOnPath("node");
        if (!node) GTEST_SKIP() << "node is not installed, so the glTF validator cannot run";
        tool = std::filesystem::path(SCRAWLET_SOURCE_DIR) / "tools/validator";
        ASSERT_TRUE(std::filesystem::exists(tool / "node_modules/gltf-validator"))
            << "the glTF validator is not installed: run scripts/setup";
    }

    CommandRun validate(const std::filesystem::path& file) {
        return run(quoted(*node) + " " + quoted(tool / "validate.mjs") + " " + quoted(file) +
                   " 2>&1");
    }

    std::optional<std::filesystem::path> node;
    std::filesystem::path tool;
};

TEST_F(KhronosValidator, FindsNoErrorsInADrawingWithSpritesAPhotoAndAContainer) {
    auto folder = testsupport::freshDirectory("khronos-validator");
    auto file = folder / "scrawlet.glb";

    scene::Scene scene;
    auto heart = scenefiles::patternImage(90, 90, 1);
    auto star = scenefiles::patternImage(90, 90, 2);
    for (int i = 0; i < 6; ++i) {
        auto sprite = scenefiles::sprite(i % 2 == 0 ? heart : star);
        sprite->setPosition({i * 0.05f, 0.1f, -0.5f});
        scene.rootNode()->addChildNode(sprite);
    }
    auto picture = std::make_shared<graphics::Image>(scenefiles::patternBitmap(64, 48, 3), 1.0,
                                                     graphics::ImageOrientation::right);
    auto photo = scenefiles::photo(picture);
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

    auto written = scene.writeToUrl(file);
    ASSERT_TRUE(written.ok()) << written.error();
    CommandRun result = validate(file);
    std::printf("%s", result.output.c_str());
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find(" 0 errors"), std::string::npos) << result.output;
}

TEST_F(KhronosValidator, ReportsErrorsInABrokenFile) {
    // The validator run itself must be able to fail.
    CommandRun result = validate(testsupport::testData("scenes/garbage.glb"));
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("GLB_INVALID_MAGIC"), std::string::npos) << result.output;
}

}  // namespace
