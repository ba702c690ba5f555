// The drawing kept between runs: one file, "scrawlet.scn", in the documents
// directory. Loading brings the saved scene back under one container node,
// filed as one stroke, so a single undo removes it.
#include <cstdio>
#include <filesystem>

#include "controller/ViewController.h"
#include "platform/Log.h"
#include "platform/Precondition.h"
#include "platform/ui/DocumentStore.h"
#include "platform/ui/FileManager.h"
#include "platform/ui/LaunchDescription.h"

namespace scrawlet {

namespace {
constexpr const char* savedFileName = "scrawlet.scn";

std::optional<std::filesystem::path> savedFileUrl() {
    auto urls = ui::FileManager::defaultManager().urlsForDirectory(
        ui::SearchPathDirectory::documentDirectory, ui::SearchPathDomainMask::userDomain);
    if (urls.empty()) return std::nullopt;
    return urls.front() / savedFileName;
}
}  // namespace

void ViewController::saveDrawing() {
    auto url = savedFileUrl();
    if (!url) return;
    platform::require(sceneView != nullptr && sceneView->scene() != nullptr, "saveDrawing",
                      "the scene view has no scene");
    auto written = sceneView->scene()->writeToUrl(*url);
    platform::require(textLabel != nullptr, "saveDrawing", "the HUD is not built");
    // A failed save says so; the earlier file is still in place.
    if (!written) {
        platform::log(written.error());
        textLabel->setText(saveFailedText);
        return;
    }
    edited_ = false;
    documentFile_ = *url;
    keepSavedFile(*url);
}

// Where the host keeps documents beyond their files (the browser's
// storage), the drawing counts as saved only once the store holds it; until
// then the line says nothing new. A store that fails leaves its earlier
// file in place, and the drawing counts as changed again.
void ViewController::keepSavedFile(const std::filesystem::path& url) {
    const auto& store = ui::currentLaunchDescription().documentStore;
    if (!store) {
        textLabel->setText(savedText);
        return;
    }
    std::weak_ptr<ViewController> weak = self();
    store->keep(url, [weak](platform::Result<void> kept) {
        auto controller = weak.lock();
        if (!controller || !controller->textLabel) return;
        if (!kept) {
            platform::log(kept.error());
            controller->edited_ = true;
        }
        controller->textLabel->setText(kept ? controller->savedText : controller->saveFailedText);
    });
}

bool ViewController::saveChanges() {
    saveDrawing();
    return !edited_;
}

// The file is read before anything is removed, so a missing or damaged file
// leaves the drawing as it is and says why on the HUD line.
void ViewController::loadDrawing() {
    auto url = savedFileUrl();
    if (!url) return;
    platform::require(sceneView != nullptr && sceneView->scene() != nullptr, "loadDrawing",
                      "the scene view has no scene");
    platform::require(textLabel != nullptr, "loadDrawing", "the HUD is not built");
    std::error_code error;
    if (!std::filesystem::exists(*url, error)) {
        textLabel->setText(noSavedText);
        return;
    }
    auto loaded = scene::Scene::sceneWithUrl(*url);
    if (!loaded) {
        platform::log(loaded.error());
        textLabel->setText(loadFailedText);
        return;
    }

    removeAllStrokes();

    auto container = scene::Node::make();
    // A copy: moving the nodes changes the list being walked. They leave the
    // loaded root from its end, which takes no time however many there are.
    auto children = loaded.value()->rootNode()->childNodes();
    for (auto child = children.rbegin(); child != children.rend(); ++child)
        (*child)->removeFromParentNode();
    for (const auto& child : children) container->addChildNode(child);
    lines.push_back(Stroke{container});
    sceneView->scene()->rootNode()->addChildNode(container);
    edited_ = false;
    documentFile_ = *url;
}

}  // namespace scrawlet
