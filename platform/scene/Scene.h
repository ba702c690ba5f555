// A 3-D scene: a root node and everything below it, which can be written to
// and read from a scene file through the installed scene-file format.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/Result.h"
#include "platform/scene/Node.h"

namespace scene {

class Scene {
public:
    Scene();
    const std::shared_ptr<Node>& rootNode() const { return rootNode_; }

    // Writes the whole graph under the root node to `url`.
    platform::Result<void> writeToUrl(const std::filesystem::path& url) const;
    // Reads a scene written by `writeToUrl`; fails with a reason for a
    // missing, unreadable or damaged file.
    static platform::Result<std::shared_ptr<Scene>> sceneWithUrl(const std::filesystem::path& url);

private:
    std::shared_ptr<Node> rootNode_;
};

// How scenes are stored on disk. The launch description in force decides
// which (ui::LaunchScope).
class SceneFileFormat {
public:
    virtual ~SceneFileFormat() = default;
    virtual platform::Result<void> write(const Scene& scene, const std::filesystem::path& url) = 0;
    virtual platform::Result<std::shared_ptr<Scene>> read(const std::filesystem::path& url) = 0;
};

void installSceneFileFormat(std::shared_ptr<SceneFileFormat> format);
bool hasSceneFileFormat();

}  // namespace scene
