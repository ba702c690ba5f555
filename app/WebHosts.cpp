// Where Scrawlet is put together in a browser: the page is the one host, and
// it gets the back ends that draw with the browser's Canvas 2D, read and
// write pictures with stb, and store scenes as glTF. The host adds the view
// renderer once it has the page's WebGL 2 context.
#include "platform/graphics/web/CanvasBackend.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"
#include "platform/web/WebHost.h"

namespace ui {

std::unique_ptr<Host> makeHost(int, char**) {
    LaunchDescription backEnds;
    backEnds.graphics = graphics::makeCanvasBackend();
    backEnds.sceneFiles = scene::makeGltfSceneFileFormat();
    return web::makeWebHost(std::move(backEnds));
}

}  // namespace ui
