// The HUD: three dark discs along the bottom edge (menu on the left, undo
// and delete on the right) with their icons, and a line of text beside the
// menu button. Built once when the view loads, laid out again whenever the
// view changes size.
#include "controller/ViewController.h"
#include "hud/HudLabels.h"
#include "platform/Precondition.h"
#include "platform/ui/Application.h"

namespace scrawlet {

namespace {
// The HUD's rows sit at fixed heights above the bottom inset's midpoint.
constexpr double discRowHeight = 30;
constexpr double labelRowHeight = 22;
// Touches this far above the bottom edge (less half the inset) reach the
// buttons.
constexpr double buttonBandHeight = 50;

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

HudPlaces hudPlaces(graphics::Size size, double inset, double buttonSize) {
    const double s = buttonSize;
    const double discY = inset / 2 + discRowHeight;
    return {{1.5 * s, inset / 2 + labelRowHeight},
            {s / 2, discY},
            {size.width - 1.5 * s, discY},
            {size.width - s / 2, discY}};
}

HudButton hudButtonAt(graphics::Point location, graphics::Size size, double inset,
                      double buttonSize) {
    if (!((size.height + (-0.5 * inset)) + (-buttonBandHeight) < location.y))
        return HudButton::none;
    if (location.x < buttonSize) return HudButton::menu;
    if (size.width - buttonSize < location.x) return HudButton::remove;
    if (size.width - 2 * buttonSize < location.x) return HudButton::undo;
    return HudButton::none;
}

ui::Window& ViewController::mainWindow() {
    const auto& windows = ui::Application::sharedApplication().windows();
    platform::require(!windows.empty(), "mainWindow", "the application has no window");
    return *windows.front();
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
    const HudPlaces places = hudPlaces({width, height}, inset, buttonSize);

    textLabel = std::make_shared<overlay::LabelNode>("Noteworthy-Bold");
    textLabel->setFontSize(20);
    textLabel->setText(welcomeText);
    textLabel->setHorizontalAlignmentMode(overlay::HorizontalAlignmentMode::left);
    textLabel->setPosition(places.label);
    hud->addChild(textLabel);

    menuButton = makeDisc(buttonSize, places.menu);
    hud->addChild(menuButton);
    menuImage = makeIcon("menu", places.menu);
    hud->addChild(menuImage);
    undoButton = makeDisc(buttonSize, places.undo);
    hud->addChild(undoButton);
    undoImage = makeIcon("undo", places.undo);
    hud->addChild(undoImage);
    deleteButton = makeDisc(buttonSize, places.remove);
    hud->addChild(deleteButton);
    deleteImage = makeIcon("delete", places.remove);
    hud->addChild(deleteImage);

    // The icons' names and the text line, for screen readers.
    const HudLabels& labels = hudLabels(ui::textLanguageOf(preferredLanguage()));
    menuButton->setAccessibility(overlay::AccessibilityRole::button, labels.menu);
    undoButton->setAccessibility(overlay::AccessibilityRole::button, labels.undo);
    deleteButton->setAccessibility(overlay::AccessibilityRole::button, labels.clear);
    textLabel->setAccessibility(overlay::AccessibilityRole::liveText);

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

    const HudPlaces places = hudPlaces(size, inset, buttonSize);
    menuButton->setPosition(places.menu);
    undoButton->setPosition(places.undo);
    deleteButton->setPosition(places.remove);
    textLabel->setPosition(places.label);
    menuImage->setPosition(places.menu);
    undoImage->setPosition(places.undo);
    deleteImage->setPosition(places.remove);
}

}  // namespace scrawlet
