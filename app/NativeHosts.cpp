// Where Scrawlet is put together on a desktop machine: the command line
// picks the host (the window, or a headless script), and the host gets the
// back ends that draw with cairo and pango and store scenes as glTF.
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"
#ifdef SCRAWLET_HAS_DESKTOP
#include "platform/desktop/DesktopHost.h"
#endif

namespace ui {

namespace {
constexpr const char* usage =
    "usage: scrawlet                 draw in a window\n"
    "       scrawlet --headless FILE run a script without a display (FILE - reads standard "
    "input)\n"
    "       scrawlet --help          show this text\n";

// A host that only says something and ends.
class MessageHost : public Host {
public:
    MessageHost(std::string message, int status) : message_(std::move(message)), status_(status) {}
    int run(Application&) override {
        (status_ == 0 ? std::cout : std::cerr) << message_;
        return status_;
    }

private:
    std::string message_;
    int status_;
};

LaunchDescription backEnds() {
    LaunchDescription description;
    description.graphics = graphics::makeCairoBackend();
    description.sceneFiles = scene::makeGltfSceneFileFormat();
    return description;
}

bool hasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}
}  // namespace

std::unique_ptr<Host> makeHost(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0)
        return std::make_unique<MessageHost>(usage, 0);
    if (argc >= 2 && std::strcmp(argv[1], "--headless") == 0) {
        if (argc != 3)
            return std::make_unique<MessageHost>(
                std::string("scrawlet: --headless needs one script file\n") + usage, 2);
        return std::make_unique<headless::HeadlessHost>(argv[2], backEnds());
    }
    if (argc >= 2)
        return std::make_unique<MessageHost>(
            std::string("scrawlet: unknown option ") + argv[1] + "\n" + usage, 2);
    if (!hasDisplay())
        return std::make_unique<MessageHost>(
            "scrawlet: there is no display to open a window on; run a script without one with "
            "scrawlet --headless FILE\n",
            1);
#ifdef SCRAWLET_HAS_DESKTOP
    return desktop::makeDesktopHost(backEnds());
#else
    return std::make_unique<MessageHost>(
        "scrawlet: this build has no desktop window; run a script with scrawlet --headless FILE\n",
        1);
#endif
}

}  // namespace ui
