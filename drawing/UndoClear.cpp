// Taking drawing away: undo removes the newest stroke, clear removes them
// all after the user confirms, and a shake asks to clear.
#include "controller/ViewController.h"

namespace scrawlet {

void ViewController::undoLastLine() {
    if (lines.empty()) return;
    Stroke stroke = std::move(lines.back());
    lines.pop_back();
    for (const auto& node : stroke) node->removeFromParentNode();
    edited_ = true;
}

void ViewController::confirmClear() {
    auto alert = ui::AlertController::alertControllerWithTitle(std::nullopt, clearText,
                                                               ui::AlertControllerStyle::alert);
    // The handler holds the controller until the alert is gone.
    alert->addAction(ui::AlertAction::actionWithTitle(
        okText, ui::AlertActionStyle::destructive,
        [controller = self()](ui::AlertAction&) { controller->clearDrawing(); }));
    alert->addAction(
        ui::AlertAction::actionWithTitle(cancelText, ui::AlertActionStyle::cancel, nullptr));
    presentViewController(alert, true, nullptr);
}

void ViewController::removeAllStrokes() {
    if (!lines.empty()) edited_ = true;
    // Newest first: each node is then found at the end of its parent's
    // children, and a drawing of any size goes in time linear in it.
    for (auto stroke = lines.rbegin(); stroke != lines.rend(); ++stroke)
        for (auto node = stroke->rbegin(); node != stroke->rend(); ++node)
            (*node)->removeFromParentNode();
    lines.clear();
}

void ViewController::clearDrawing() {
    removeAllStrokes();
    fileName.reset();
}

void ViewController::motionEnded(ui::EventSubtype motion, const ui::Event*) {
    if (motion == ui::EventSubtype::motionShake) confirmClear();
}

}  // namespace scrawlet
