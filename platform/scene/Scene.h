// A 3-D scene: a root node and everything below it, which can be written to
// and read from a scene file through the scene-file format in force.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/Current.h"
#include "platform/Result.h"
#include "platform/scene/Node.h"

namespace graphics {
class Bitmap;
}

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

// How scenes are stored on disk. The application's launch description
// decides which.
class SceneFileFormat {
public:
    virtual ~SceneFileFormat() = default;
    virtual platform::Result<void> write(const Scene& scene, const std::filesystem::path& url) = 0;
    virtual platform::Result<std::shared_ptr<Scene>> read(const std::filesystem::path& url) = 0;
    // Stores a picture ahead of a save, as every save will then write it,
    // where the format keeps pictures as files it cannot make again the
    // same (a photo as a JPEG): a host may do this while idle, so that the
    // save only writes bytes. Does nothing where there is nothing to keep.
    virtual platform::Result<void> storeAhead(const graphics::Bitmap&) { return {}; }
};

// The scene files of one application: its environment owns them and puts
// them in force on the thread that drives it (SceneFilesScope), as this
// level cannot ask `ui`.
struct SceneFiles {
    std::shared_ptr<SceneFileFormat> format;
};
using SceneFilesScope = platform::Current<SceneFiles>;

// Whether the scene files in force have a format.
bool hasSceneFileFormat();

}  // namespace scene
