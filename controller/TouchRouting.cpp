// Touches become strokes here. A touch-down in one of the three button zones
// of the band along the bottom edge runs a command; any other starts a
// stroke, and every sample of it places one sprite.
#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/ui/Random.h"

namespace scrawlet {

void ViewController::touchesBegan(const ui::TouchSet& touches, const ui::Event*) {
    // A second finger coming down while a stroke is under way files that
    // stroke first, as its lift would: restarted unfiled, its sprites would
    // stay in the scene where neither undo, clear nor load could reach them.
    fileStrokeUnderWay();
    // A new emoji at every touch-down, whether or not it draws.
    pic = pics[ui::SystemRandom::shared().uniform(pics.size())];
    if (touches.empty()) {
        draw = false;
        return;
    }
    platform::require(sceneView != nullptr, "touchesBegan", "the scene view is not connected");
    graphics::Point location = touches.front()->locationInView(sceneView.get());

    double inset = mainWindow().safeAreaInsets().bottom;
    graphics::Size size{graphics::rectGetWidth(sceneView->frame()),
                        graphics::rectGetHeight(sceneView->frame())};
    switch (hudButtonAt(location, size, inset, buttonSize)) {
        case HudButton::menu:
            pressButton(menuButton);
            showMenu();
            return;
        case HudButton::remove:
            pressButton(deleteButton);
            confirmClear();
            return;
        case HudButton::undo:
            pressButton(undoButton);
            undoLastLine();
            return;
        case HudButton::none: break;
    }

    draw = true;
    platform::require(textLabel != nullptr, "touchesBegan", "the HUD is not built");
    textLabel->setText("");
    currentLine = Stroke{};
    for (const auto& touch : touches) {
        if (auto node = placeSprite(touch->locationInView(sceneView.get())))
            currentLine.push_back(std::move(node));
    }
}

void ViewController::touchesMoved(const ui::TouchSet& touches, const ui::Event*) {
    if (!draw) return;
    for (const auto& touch : touches) {
        if (auto node = placeSprite(touch->locationInView(sceneView.get())))
            currentLine.push_back(std::move(node));
    }
}

void ViewController::touchesEnded(const ui::TouchSet&, const ui::Event*) {
    fileStrokeUnderWay();
    releaseButton();
}

void ViewController::fileStrokeUnderWay() {
    if (draw) {
        lines.push_back(currentLine);
        edited_ = true;
    }
    draw = false;
}

void ViewController::pressButton(const std::shared_ptr<overlay::ShapeNode>& button) {
    releaseButton();
    if (!button) return;
    pressedButton_ = button;
    button->setFillColor(graphics::Color{0.35, 0.35, 0.38, 1});
}

void ViewController::releaseButton() {
    if (pressedButton_) pressedButton_->setFillColor(graphics::Color::black());
    pressedButton_.reset();
}

std::vector<ui::KeyCommand> ViewController::keyCommands() {
    auto command = [controller = self()](void (ViewController::*run)()) {
        return [controller, run] { ((*controller).*run)(); };
    };
    return {
        {"z", true, command(&ViewController::undoLastLine)},
        {"Delete", false, command(&ViewController::confirmClear)},
        {"s", true, command(&ViewController::saveDrawing)},
        {"o", true, command(&ViewController::loadDrawing)},
        {"F10", false, command(&ViewController::showMenu)},
    };
}

// A cancelled touch sequence (a system gesture, a window losing the
// pointer) ends the stroke like a touch-up, so that its sprites are filed
// and undo and clear can reach them.
void ViewController::touchesCancelled(const ui::TouchSet& touches, const ui::Event* event) {
    touchesEnded(touches, event);
}

}  // namespace scrawlet
