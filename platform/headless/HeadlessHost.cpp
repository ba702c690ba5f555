#include "platform/headless/HeadlessHost.h"

#include <iostream>
#include <iterator>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/automation/Runner.h"
#include "platform/offscreen/EglScreenRenderer.h"
#include "platform/ui/FileManager.h"

namespace headless {

namespace {
// Scripts are a few kilobytes; anything this large is not one.
constexpr std::size_t maxScriptBytes = 16u << 20;
}  // namespace

HeadlessHost::HeadlessHost(std::filesystem::path scriptPath, ui::LaunchDescription description)
    : scriptPath_(std::move(scriptPath)), description_(std::move(description)) {}

int HeadlessHost::run(ui::Application& application) {
    std::string text;
    if (scriptPath_ == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        auto bytes = platform::readFile(scriptPath_, maxScriptBytes);
        if (!bytes) {
            platform::log(bytes.error());
            return static_cast<int>(automation::ScriptStatus::malformed);
        }
        text.assign(bytes.value().begin(), bytes.value().end());
    }
    // One renderer for the script's snapshots and for the scene view's
    // drawing of itself, which sharing a picture uses. Mesa's software
    // rasteriser draws here: its tricks pay.
    ui::LaunchDescription description = description_;
    description.renderOptions = ui::RenderOptions::softwareRasterizer();
    auto pictures = std::make_shared<offscreen::EglScreenRenderer>(description.renderOptions);
    description.documents = ui::xdgUserDirectory("DOCUMENTS");
    description.picturesFolder = ui::xdgUserDirectory("PICTURES");
    description.viewRenderer = pictures->viewRenderer();
    automation::ScriptRunner runner(application, std::move(description), pictures);
    // Paths in a script file are its own folder's; on standard input, the
    // working folder's.
    std::string name = scriptPath_ == "-" ? "standard input" : scriptPath_.string();
    std::filesystem::path folder;
    if (scriptPath_ != "-") {
        std::error_code ignored;
        folder = std::filesystem::absolute(scriptPath_, ignored).parent_path();
    }
    auto status = runner.run(text, name, folder, std::cout, std::cerr);
    return static_cast<int>(status);
}

ui::HostChoice hostChoice() {
    return {"headless", "--headless",
            "scrawlet --headless FILE run a script without a display (FILE - reads standard input)",
            [](ui::HostRequest request) {
                if (request.arguments.size() != 1)
                    return ui::makeMessageHost(
                        "scrawlet: --headless needs one script file\n" + request.usage, 2);
                return std::unique_ptr<ui::Host>(std::make_unique<HeadlessHost>(
                    request.arguments.front(), std::move(request.backEnds)));
            }};
}

}  // namespace headless
