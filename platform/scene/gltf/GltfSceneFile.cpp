#include "platform/scene/gltf/GltfSceneFile.h"

#include "platform/Files.h"
#include "platform/scene/gltf/SceneDecoder.h"
#include "platform/scene/gltf/SceneEncoder.h"

namespace scene {

namespace {
class GltfSceneFileFormat : public SceneFileFormat {
public:
    // The whole file is made in memory first and then replaced in one
    // step, so a failed save leaves the earlier file as it was.
    platform::Result<void> write(const Scene& scene, const std::filesystem::path& url) override {
        auto encoded = gltf::encodeScene(scene, limits_);
        if (!encoded)
            return platform::fail("cannot save the drawing to " + url.string() + ": " +
                                  encoded.error());
        auto written = platform::writeFile(url, encoded.value().pieces());
        if (!written) return platform::fail("cannot save the drawing: " + written.error());
        return {};
    }

    // Only the file's header and description are read whole; its pictures
    // are read one at a time once they have been checked.
    platform::Result<std::shared_ptr<Scene>> read(const std::filesystem::path& url) override {
        platform::removeStaleTemporaryFiles(url);
        auto file = platform::ReadableFile::open(url, limits_.maxFileBytes);
        if (!file) return platform::fail("cannot load the drawing: " + file.error());
        auto scene = gltf::decodeScene(gltf::FileGlbSource(file.value()), limits_);
        if (!scene)
            return platform::fail("cannot load the drawing from " + url.string() + ": " +
                                  scene.error());
        return scene;
    }

    platform::Result<void> storeAhead(const graphics::Bitmap& bitmap) override {
        return gltf::storePhotoAhead(bitmap);
    }

private:
    gltf::Limits limits_;
};
}  // namespace

std::unique_ptr<SceneFileFormat> makeGltfSceneFileFormat() {
    return std::make_unique<GltfSceneFileFormat>();
}

}  // namespace scene
