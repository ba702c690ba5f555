// Where Scrawlet is put together in a browser: the page runs the host this
// build made that needs no command line (the web host), with the back ends
// that draw with the browser's Canvas 2D, read and write pictures with stb,
// and store scenes as glTF. The host adds the view renderer once it has the
// page's WebGL 2 context.
#include "app/BuiltHosts.h"
#include "platform/graphics/web/CanvasBackend.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"

namespace ui {

std::unique_ptr<Host> makeHost(int, char**) {
    for (const auto& host : scrawlet::builtHosts()) {
        if (!host.option.empty()) continue;
        HostRequest request;
        request.backEnds.graphics = graphics::makeCanvasBackend();
        request.backEnds.sceneFiles = scene::makeGltfSceneFileFormat();
        return host.make(std::move(request));
    }
    return makeMessageHost("scrawlet: this build has no host for the page\n", 1);
}

}  // namespace ui
