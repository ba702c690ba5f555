#include "platform/scene/Scene.h"

namespace scene {

namespace {
std::shared_ptr<SceneFileFormat>& installedFormat() {
    static std::shared_ptr<SceneFileFormat> format;
    return format;
}
}  // namespace

void installSceneFileFormat(std::shared_ptr<SceneFileFormat> format) {
    installedFormat() = std::move(format);
}

bool hasSceneFileFormat() { return installedFormat() != nullptr; }

Scene::Scene() : rootNode_(Node::make()) {}

platform::Result<void> Scene::writeToUrl(const std::filesystem::path& url) const {
    platform::require(hasSceneFileFormat(), "Scene::writeToUrl", "no scene-file format installed");
    return installedFormat()->write(*this, url);
}

platform::Result<std::shared_ptr<Scene>> Scene::sceneWithUrl(const std::filesystem::path& url) {
    platform::require(hasSceneFileFormat(), "Scene::sceneWithUrl",
                      "no scene-file format installed");
    return installedFormat()->read(url);
}

}  // namespace scene
