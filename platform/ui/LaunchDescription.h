// The one description of the device and of the back ends that a host fills
// before launch and a test builds: the screen, the kind of device, the
// user's languages and folders, what the simulated device can do, and which
// libraries draw, store scenes and render. Defaults are the declaration's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Device.h"
#include "platform/ui/RenderOptions.h"

namespace graphics {
class Backend;
}
namespace scene {
class SceneFileFormat;
}

namespace ui {

class DocumentStore;
class ViewRenderer;

struct LaunchDescription {
    // The screen, which the one window fills, in points, and its pixels per
    // point.
    graphics::Size screenSize{390, 844};
    double scale = 3;
    graphics::EdgeInsets safeAreaInsets;
    UserInterfaceIdiom idiom = UserInterfaceIdiom::phone;
    // The user's preferred languages, most preferred first; none means what
    // the environment says (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
    std::vector<std::string> languages;
    // Where drawings are kept; none means there is no documents folder.
    std::optional<std::filesystem::path> documents;
    // What the photo library shows, and where "Save to Pictures" writes.
    std::filesystem::path photoLibrary;
    std::filesystem::path picturesFolder;
    bool hasCamera = false;
    bool personSegmentationWithDepth = false;
    // Makes the emoji picks reproducible; none keeps the system's entropy.
    std::optional<std::uint64_t> seed;

    // The back ends: text, bitmaps and codecs; the scene file; drawing a
    // scene view into a picture. A missing one is a broken precondition
    // only when something needs it.
    std::shared_ptr<graphics::Backend> graphics;
    std::shared_ptr<scene::SceneFileFormat> sceneFiles;
    std::shared_ptr<ViewRenderer> viewRenderer;
    // What keeps a saved document beyond its file; none means the file
    // written is the document kept.
    std::shared_ptr<DocumentStore> documentStore;
    // What the host's renderer does to spare its rasteriser work.
    RenderOptions renderOptions;
};

// The description of the application environment in force on this thread
// (Environment.h); a broken precondition without one.
const LaunchDescription& currentLaunchDescription();

}  // namespace ui
