#include "platform/ui/Application.h"

#include <algorithm>

#include "platform/Precondition.h"
#include "platform/ui/Device.h"

namespace ui {

namespace {
std::map<std::string, DelegateFactory>& classes() {
    static std::map<std::string, DelegateFactory> registry;
    return registry;
}

std::optional<InterfaceDescription>& registeredInterface() {
    static std::optional<InterfaceDescription> interface;
    return interface;
}
}  // namespace

void registerMainInterface(InterfaceDescription description) {
    registeredInterface() = std::move(description);
}

const InterfaceDescription& mainInterface() {
    platform::require(registeredInterface().has_value(), "mainInterface",
                      "the application registered no main interface");
    return *registeredInterface();
}

void registerClass(std::string name, DelegateFactory factory) {
    classes()[std::move(name)] = std::move(factory);
}

DelegateFactory classNamed(const std::string& name) {
    auto it = classes().find(name);
    return it == classes().end() ? nullptr : it->second;
}

Application& Application::sharedApplication() {
    Application* application = current();
    platform::require(application != nullptr, "sharedApplication",
                      "no application is driven on this thread");
    return *application;
}

Application* Application::current() { return platform::Current<Application>::get(); }

ApplicationScope::ApplicationScope(Application& application)
    : application_(application), environment_(application.environment()) {}

Application::Application(DelegateFactory delegateFactory)
    : delegateFactory_(std::move(delegateFactory)) {
    platform::require(delegateFactory_ != nullptr, "Application", "no delegate class given");
}

Application::~Application() {
    ApplicationScope driven(*this);
    // What is still presented goes first: its action handlers may hold the
    // controller that presented it.
    if (auto root = rootViewController()) root->dismissViewControllerAnimated(false, nullptr);
    // The windows and their controllers go before the delegate that holds
    // the first window.
    windows_.clear();
    delegate_.reset();
}

void Application::didPresent(ViewController& presenter) {
    // A screen presented over the root takes the touches in flight.
    if (&presenter == rootViewController().get()) cancelHeldTouches();
}

void Application::launch(LaunchDescription description) {
    platform::require(!launched_, "Application::launch", "the application is already launched");
    launched_ = true;
    const graphics::Size screenSize = description.screenSize;
    const graphics::EdgeInsets safeAreaInsets = description.safeAreaInsets;
    environment_.apply(std::move(description));
    ApplicationScope driven(*this);
    delegate_ = delegateFactory_();

    // The main interface: one window, its root controller made through the
    // coder path, and the scene view as both the controller's view and its
    // outlet.
    const InterfaceDescription& interface = mainInterface();
    auto window = std::make_shared<Window>();
    window->setFrame({{0, 0}, screenSize});
    window->setSafeAreaInsets(safeAreaInsets);
    Coder coder;
    auto controller = interface.instantiateRootViewController(coder);
    platform::require(controller != nullptr, "Application::launch",
                      "the main interface made no root controller");
    auto sceneView = std::make_shared<SceneView>();
    sceneView->setFrame({{0, 0}, screenSize});
    controller->setView(sceneView);
    interface.connectSceneView(*controller, sceneView);
    window->setRootViewController(controller);
    windows_.push_back(window);
    delegate_->setWindow(window);

    delegate_->applicationDidFinishLaunchingWithOptions(*this, {});
    window->makeKeyAndVisible();
    becomeActive();
}

void Application::setHasCamera(bool hasCamera) {
    platform::require(launched_, "Application::setHasCamera", "the application has not launched");
    environment_.setHasCamera(hasCamera);
}

void Application::resignActive() {
    ApplicationScope driven(*this);
    if (state_ != ApplicationState::active) return;
    state_ = ApplicationState::inactive;
    delegate_->applicationWillResignActive(*this);
}

void Application::enterBackground() {
    ApplicationScope driven(*this);
    resignActive();
    if (state_ == ApplicationState::background) return;
    state_ = ApplicationState::background;
    delegate_->applicationDidEnterBackground(*this);
}

void Application::enterForeground() {
    ApplicationScope driven(*this);
    if (state_ != ApplicationState::background) return;
    state_ = ApplicationState::inactive;
    delegate_->applicationWillEnterForeground(*this);
}

void Application::becomeActive() {
    ApplicationScope driven(*this);
    if (state_ == ApplicationState::active) return;
    if (state_ == ApplicationState::background) enterForeground();
    state_ = ApplicationState::active;
    delegate_->applicationDidBecomeActive(*this);
}

void Application::terminate() {
    ApplicationScope driven(*this);
    if (terminated_ || !launched_) return;
    terminated_ = true;
    delegate_->applicationWillTerminate(*this);
}

std::shared_ptr<ViewController> Application::rootViewController() const {
    return windows_.empty() ? nullptr : windows_.front()->rootViewController();
}

std::shared_ptr<ViewController> Application::topViewController() const {
    auto top = rootViewController();
    while (top && top->presentedViewController()) top = top->presentedViewController();
    return top;
}

std::shared_ptr<SceneView> Application::sceneView() const {
    auto root = rootViewController();
    if (!root || !root->isViewLoaded()) return nullptr;
    return std::dynamic_pointer_cast<SceneView>(root->view());
}

void Application::transitionToSize(graphics::Size size) {
    ApplicationScope driven(*this);
    auto root = rootViewController();
    if (!root) return;
    TransitionCoordinator coordinator;
    root->viewWillTransitionToSize(size, coordinator);
    Screen::main().setBounds({{0, 0}, size});
    for (auto& window : windows_) window->setFrame({{0, 0}, size});
    if (root->isViewLoaded()) root->view()->setFrame({{0, 0}, size});
    coordinator.finish();
}

ViewController* Application::touchTarget() const {
    auto root = rootViewController();
    if (!root || root->presentedViewController()) return nullptr;
    return root.get();
}

TouchSet Application::held(const TouchSet& touches) const {
    TouchSet found;
    for (const auto& touch : touches)
        if (std::find(heldTouches_.begin(), heldTouches_.end(), touch) != heldTouches_.end())
            found.push_back(touch);
    return found;
}

void Application::forget(const TouchSet& touches) {
    std::erase_if(heldTouches_, [&](const auto& touch) {
        return std::find(touches.begin(), touches.end(), touch) != touches.end();
    });
}

void Application::cancelHeldTouches() {
    auto root = rootViewController();
    if (!root || heldTouches_.empty()) return;
    TouchSet cancelled = std::move(heldTouches_);
    heldTouches_.clear();
    for (auto& touch : cancelled) touch->setPhase(TouchPhase::cancelled);
    Event event{EventType::touches, EventSubtype::none};
    root->touchesCancelled(cancelled, &event);
}

void Application::sendTouchesBegan(const TouchSet& touches) {
    ApplicationScope driven(*this);
    auto* target = touchTarget();
    if (target == nullptr) return;
    heldTouches_.insert(heldTouches_.end(), touches.begin(), touches.end());
    Event event{EventType::touches, EventSubtype::none};
    target->touchesBegan(touches, &event);
}

void Application::sendTouchesMoved(const TouchSet& touches) {
    ApplicationScope driven(*this);
    auto* target = touchTarget();
    TouchSet mine = held(touches);
    if (target == nullptr || mine.empty()) return;
    Event event{EventType::touches, EventSubtype::none};
    target->touchesMoved(mine, &event);
}

void Application::sendTouchesEnded(const TouchSet& touches) {
    ApplicationScope driven(*this);
    auto* target = touchTarget();
    TouchSet mine = held(touches);
    if (target == nullptr || mine.empty()) return;
    forget(mine);
    Event event{EventType::touches, EventSubtype::none};
    target->touchesEnded(mine, &event);
}

void Application::sendTouchesCancelled(const TouchSet& touches) {
    ApplicationScope driven(*this);
    auto* target = touchTarget();
    TouchSet mine = held(touches);
    if (target == nullptr || mine.empty()) return;
    forget(mine);
    Event event{EventType::touches, EventSubtype::none};
    target->touchesCancelled(mine, &event);
}

void Application::sendMotionEnded(EventSubtype motion) {
    ApplicationScope driven(*this);
    Event event{EventType::motion, motion};
    if (auto* target = touchTarget()) target->motionEnded(motion, &event);
}

bool Application::sendKeyCommand(std::string_view input, bool control) {
    ApplicationScope driven(*this);
    auto* target = touchTarget();
    if (target == nullptr) return false;
    for (auto& command : target->keyCommands()) {
        if (command.control != control || command.input != input) continue;
        if (command.action) command.action();
        return true;
    }
    return false;
}

void Application::sendMemoryWarning() {
    ApplicationScope driven(*this);
    for (auto controller = rootViewController(); controller;
         controller = controller->presentedViewController())
        controller->didReceiveMemoryWarning();
}

}  // namespace ui
