#include "platform/ui/View.h"

#include "platform/ui/ViewController.h"

namespace ui {

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    rootViewController_ = std::move(controller);
}

void Window::makeKeyAndVisible() {
    if (key_) return;
    key_ = true;
    if (rootViewController_) {
        rootViewController_->loadViewIfNeeded();
        rootViewController_->viewWillAppear(false);
        rootViewController_->viewDidAppear(false);
    }
}

}  // namespace ui
