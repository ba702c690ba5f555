// Where Scrawlet is put together on a desktop machine: the command line
// picks one of the hosts this build made (the window, or a headless
// script), and the host gets the back ends that draw with cairo and pango
// and store scenes as glTF.
#include <string>
#include <string_view>

#include "app/BuiltHosts.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"

namespace ui {

namespace {
LaunchDescription backEnds() {
    LaunchDescription description;
    description.graphics = graphics::makeCairoBackend();
    description.sceneFiles = scene::makeGltfSceneFileFormat();
    return description;
}

// One line for each host, then the help.
std::string usageOf(const std::vector<HostChoice>& hosts) {
    std::string usage;
    for (const auto& host : hosts)
        usage += (usage.empty() ? "usage: " : "       ") + std::string(host.usage) + "\n";
    constexpr std::string_view help = "scrawlet --help          show this text\n";
    return usage + (usage.empty() ? "usage: " : "       ") + std::string(help);
}
}  // namespace

std::unique_ptr<Host> makeHost(int argc, char** argv) {
    const auto hosts = scrawlet::builtHosts();
    const std::string usage = usageOf(hosts);
    const std::string option = argc >= 2 ? argv[1] : "";
    if (option == "--help") return makeMessageHost(usage, 0);
    for (const auto& host : hosts) {
        if (host.option != option) continue;
        HostRequest request{{}, usage, backEnds()};
        for (int i = option.empty() ? 1 : 2; i < argc; ++i) request.arguments.emplace_back(argv[i]);
        return host.make(std::move(request));
    }
    if (option.empty())
        return makeMessageHost(
            "scrawlet: this build has no host that runs without an option\n" + usage, 2);
    return makeMessageHost("scrawlet: unknown option " + option + "\n" + usage, 2);
}

}  // namespace ui
