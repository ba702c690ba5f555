#include "platform/ui/ViewController.h"

#include <cstdio>

#include "platform/Log.h"
#include "platform/Precondition.h"
#include "platform/ui/Application.h"
#include "platform/ui/LaunchDescription.h"
#include "platform/ui/Presentation.h"

namespace ui {

void Responder::touchesBegan(const TouchSet&, const Event*) {}
void Responder::touchesMoved(const TouchSet&, const Event*) {}
void Responder::touchesEnded(const TouchSet&, const Event*) {}
void Responder::touchesCancelled(const TouchSet&, const Event*) {}
void Responder::motionEnded(EventSubtype, const Event*) {}
bool Responder::becomeFirstResponder() { return false; }

void TransitionCoordinator::animateAlongsideTransition(std::function<void()> animation,
                                                       std::function<void()> completion) {
    if (animation) animations_.push_back(std::move(animation));
    if (completion) completions_.push_back(std::move(completion));
}

void TransitionCoordinator::finish() {
    for (auto& animation : animations_) animation();
    for (auto& completion : completions_) completion();
    animations_.clear();
    completions_.clear();
}

ViewController::ViewController(const Coder&) {}

ViewController::ViewController(std::optional<std::string> nibName,
                               std::optional<std::filesystem::path>)
    : nibName_(std::move(nibName)) {}

ViewController::~ViewController() = default;

const std::shared_ptr<View>& ViewController::view() {
    if (!viewLoaded_) {
        if (!view_) view_ = std::make_shared<View>();
        viewLoaded_ = true;
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) { view_ = std::move(view); }

void ViewController::viewDidLoad() {}
void ViewController::viewWillAppear(bool) {}
void ViewController::viewDidAppear(bool) {}
void ViewController::viewWillDisappear(bool) {}
void ViewController::viewDidDisappear(bool) {}
void ViewController::viewWillTransitionToSize(graphics::Size, TransitionCoordinator&) {}
void ViewController::didReceiveMemoryWarning() {}
bool ViewController::prefersStatusBarHidden() const { return false; }
bool ViewController::prefersHomeIndicatorAutoHidden() const { return false; }

ModalPresentationStyle ViewController::defaultPresentationStyle() const {
    return ModalPresentationStyle::automatic;
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool,
                                           std::function<void()> completion) {
    platform::require(controller != nullptr, "presentViewController", "no controller given");
    platform::require(controller.get() != this && controller->presenting_ == nullptr,
                      "presentViewController", "the controller is already presented");
    if (presented_) {
        // The platform refuses a second presentation from one controller and
        // says so, without failing.
        platform::log("a controller that is already presenting cannot present another");
        return;
    }
    presented_ = std::move(controller);
    presented_->presenting_ = this;
    // The application driven on this thread watches every presentation.
    if (Application* application = Application::current()) application->didPresent(*this);
    if (completion) completion();
}

void ViewController::dismissViewControllerAnimated(bool, std::function<void()> completion) {
    ViewController* presenter = presented_ ? this : presenting_;
    if (presenter == nullptr) return;
    // The dismissed controller may be the caller itself, held only by its
    // presenter: keep it alive until the dismissal is done.
    auto dismissed = std::move(presenter->presented_);
    presenter->presented_ = nullptr;
    dismissed->presenting_ = nullptr;
    if (dismissed->presented_) dismissed->dismissViewControllerAnimated(false, nullptr);
    if (completion) completion();
}

PopoverPresentationController* ViewController::popoverPresentationController() {
    bool shownAsPopover = currentLaunchDescription().idiom == UserInterfaceIdiom::pad &&
                          modalPresentationStyle() == ModalPresentationStyle::popover;
    if (!shownAsPopover) return nullptr;
    if (!popover_) popover_ = std::make_unique<PopoverPresentationController>();
    return popover_.get();
}

}  // namespace ui
