// The HUD: three dark discs along the bottom edge (menu on the left, undo
// and delete on the right) with their icons, and a line of text beside the
// menu button. Built once when the view loads, laid out again whenever the
// view changes size.
#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/ui/Application.h"

namespace scrawlet {

namespace {
// The HUD's rows sit at fixed heights above the bottom inset's midpoint.
constexpr double discRowHeight = 30;
constexpr double labelRowHeight = 22;

std::shared_ptr<overlay::ShapeNode> makeDisc(double buttonSize, graphics::Point position) {
    auto disc = overlay::ShapeNode::shapeNodeWithCircleOfRadius(buttonSize / 2 - 2);
    disc->setPosition(position);
    disc->setStrokeColor(graphics::Color::clear());
    disc->setFillColor(graphics::Color::black());
    disc->setAlpha(0.8);
    return disc;
}

std::shared_ptr<overlay::SpriteNode> makeIcon(const char* name, graphics::Point position) {
    auto icon = std::make_shared<overlay::SpriteNode>(name);
    icon->setPosition(position);
    return icon;
}
}  // namespace

ui::Window& ViewController::mainWindow() {
    static const std::shared_ptr<ui::Window> window = [] {
        const auto& windows = ui::Application::sharedApplication().windows();
        platform::require(!windows.empty(), "mainWindow", "the application has no window");
        return windows.front();
    }();
    return *window;
}

void ViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    localizeTexts();

    platform::require(sceneView != nullptr, "viewDidLoad",
                      "the scene view outlet is not connected");
    auto scene = std::make_shared<scene::Scene>();
    sceneView->setDelegate(this);
    sceneView->setScene(scene);

    double width = graphics::rectGetWidth(sceneView->frame());
    double height = graphics::rectGetHeight(sceneView->frame());
    double inset = mainWindow().safeAreaInsets().bottom;
    distance = static_cast<float>((width + height) / 1000.0);

    hud = std::make_shared<overlay::Scene>(graphics::Size{width, height});
    const double s = buttonSize;
    const double discY = inset / 2 + discRowHeight;

    textLabel = std::make_shared<overlay::LabelNode>("Noteworthy-Bold");
    textLabel->setFontSize(20);
    textLabel->setText(welcomeText);
    textLabel->setHorizontalAlignmentMode(overlay::HorizontalAlignmentMode::left);
    textLabel->setPosition({1.5 * s, inset / 2 + labelRowHeight});
    hud->addChild(textLabel);

    menuButton = makeDisc(s, {s / 2, discY});
    hud->addChild(menuButton);
    menuImage = makeIcon("menu", {s / 2, discY});
    hud->addChild(menuImage);
    undoButton = makeDisc(s, {width - 1.5 * s, discY});
    hud->addChild(undoButton);
    undoImage = makeIcon("undo", {width - 1.5 * s, discY});
    hud->addChild(undoImage);
    deleteButton = makeDisc(s, {width - s / 2, discY});
    hud->addChild(deleteButton);
    deleteImage = makeIcon("delete", {width - s / 2, discY});
    hud->addChild(deleteImage);

    hud->setUserInteractionEnabled(false);
    sceneView->setOverlayScene(hud);
}

void ViewController::viewWillTransitionToSize(graphics::Size size, ui::TransitionCoordinator&) {
    layoutHUD(size);
}

// Laid out for the size the view is about to take. For a quarter turn that
// is the old frame with width and height exchanged; for a window resized
// without turning it is not, and the buttons must still reach the corners.
void ViewController::layoutHUD(graphics::Size size) {
    platform::require(sceneView != nullptr, "layoutHUD", "the scene view is not connected");
    platform::require(textLabel && menuButton && undoButton && deleteButton && menuImage &&
                          undoImage && deleteImage,
                      "layoutHUD", "the HUD is not built");
    double inset = mainWindow().safeAreaInsets().bottom;
    if (auto overlay = sceneView->overlayScene()) overlay->setSize(size);

    const double s = buttonSize;
    const double width = size.width;
    const double discY = inset / 2 + discRowHeight;
    menuButton->setPosition({s / 2, discY});
    undoButton->setPosition({width - 1.5 * s, discY});
    deleteButton->setPosition({width - s / 2, discY});
    textLabel->setPosition({1.5 * s, inset / 2 + labelRowHeight});
    menuImage->setPosition({s / 2, discY});
    undoImage->setPosition({width - 1.5 * s, discY});
    deleteImage->setPosition({width - s / 2, discY});
}

}  // namespace scrawlet
