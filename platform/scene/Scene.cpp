#include "platform/scene/Scene.h"

namespace scene {

namespace {
SceneFileFormat& format(const char* operation) {
    platform::require(hasSceneFileFormat(), operation, "no scene-file format in force");
    return *SceneFilesScope::get()->format;
}
}  // namespace

bool hasSceneFileFormat() {
    SceneFiles* files = SceneFilesScope::get();
    return files != nullptr && files->format != nullptr;
}

Scene::Scene() : rootNode_(Node::make()) {}

platform::Result<void> Scene::writeToUrl(const std::filesystem::path& url) const {
    return format("Scene::writeToUrl").write(*this, url);
}

platform::Result<std::shared_ptr<Scene>> Scene::sceneWithUrl(const std::filesystem::path& url) {
    return format("Scene::sceneWithUrl").read(url);
}

}  // namespace scene
