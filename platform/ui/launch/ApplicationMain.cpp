// The application loop entry. It installs the back ends that draw, store
// scenes and render, then hands the application to the front end that the
// command line asks for: the desktop window, or a headless script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/Precondition.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"
#ifdef SCRAWLET_HAS_DESKTOP
#include "platform/desktop/DesktopHost.h"
#endif
#ifdef SCRAWLET_HAS_EGL
#include "platform/headless/EglScreenRenderer.h"
#endif

namespace ui {

DelegateFactory classNamed(const std::string& name);

namespace {
constexpr const char* usage =
    "usage: scrawlet                 draw in a window\n"
    "       scrawlet --headless FILE run a script without a display (FILE - reads standard input)\n"
    "       scrawlet --help          show this text\n";

// A front end that only says something and ends.
class MessageHost : public Host {
public:
    MessageHost(std::string message, int status, bool toStandardError)
        : message_(std::move(message)), status_(status), toStandardError_(toStandardError) {}
    int run(Application&) override {
        (toStandardError_ ? std::cerr : std::cout) << message_;
        return status_;
    }

private:
    std::string message_;
    int status_;
    bool toStandardError_;
};
}  // namespace

std::unique_ptr<Host> makeHost(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0)
        return std::make_unique<MessageHost>(usage, 0, false);
    if (argc >= 2 && std::strcmp(argv[1], "--headless") == 0) {
        if (argc != 3)
            return std::make_unique<MessageHost>(
                std::string("scrawlet: --headless needs one script file\n") + usage, 2, true);
        auto host = std::make_unique<headless::HeadlessHost>(argv[2]);
#ifdef SCRAWLET_HAS_EGL
        // One renderer for the script's snapshots and for the scene view's
        // drawing of itself, which sharing a picture uses.
        auto renderer = std::make_shared<headless::EglScreenRenderer>();
        ui::installViewRenderer(renderer->viewRenderer());
        host->setScreenRenderer(renderer);
#endif
        return host;
    }
    if (argc >= 2)
        return std::make_unique<MessageHost>(
            std::string("scrawlet: unknown option ") + argv[1] + "\n" + usage, 2, true);
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0'))
        return std::make_unique<MessageHost>(
            "scrawlet: there is no display to open a window on; run a script without one with "
            "scrawlet --headless FILE\n",
            1, true);
#ifdef SCRAWLET_HAS_DESKTOP
    return desktop::makeDesktopHost();
#else
    return std::make_unique<MessageHost>(
        "scrawlet: this build has no desktop window; run a script with scrawlet --headless FILE\n",
        1, true);
#endif
}

int applicationMain(int argc, char** argv, std::optional<std::string>,
                    std::string delegateClassName) {
    DelegateFactory factory = classNamed(delegateClassName);
    platform::require(factory != nullptr, "applicationMain", "the delegate class is not known");
    graphics::installBackend(graphics::makeCairoBackend());
    scene::installSceneFileFormat(scene::makeGltfSceneFileFormat());
    auto host = makeHost(argc, argv);
    Application application(factory);
    return host->run(application);
}

}  // namespace ui
