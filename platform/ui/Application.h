// The application: its delegate, its windows, the loop entry that a host
// runs, and the main interface description that builds the first window and
// its root controller. Delegate classes are named, as the loop entry takes a
// class name.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Current.h"
#include "platform/ui/Environment.h"
#include "platform/ui/LaunchDescription.h"
#include "platform/ui/SceneView.h"
#include "platform/ui/ViewController.h"

namespace ui {

class Application;

using LaunchOptions = std::map<std::string, std::string>;

// The protocol an application delegate adopts; every callback is optional.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual std::shared_ptr<Window> window() const { return nullptr; }
    virtual void setWindow(std::shared_ptr<Window>) {}

    virtual bool applicationDidFinishLaunchingWithOptions(Application&, const LaunchOptions&) {
        return true;
    }
    virtual void applicationWillResignActive(Application&) {}
    virtual void applicationDidEnterBackground(Application&) {}
    virtual void applicationWillEnterForeground(Application&) {}
    virtual void applicationDidBecomeActive(Application&) {}
    virtual void applicationWillTerminate(Application&) {}
};

// A class by name: how the loop entry finds the delegate class it is given.
using DelegateFactory = std::function<std::unique_ptr<ApplicationDelegate>()>;
void registerClass(std::string name, DelegateFactory factory);
// The registered class of that name, or none.
DelegateFactory classNamed(const std::string& name);

// The class's name, registering it so that the loop entry can make one.
// The class names itself with `static constexpr std::string_view className`.
template <class T>
std::string stringFromClass() {
    std::string name(T::className);
    registerClass(name, [] { return std::make_unique<T>(); });
    return name;
}

// The application's main interface: builds the root controller through its
// coder initialiser and connects the scene view to its outlet. The
// application registers it before the loop entry; the platform loads it at
// launch.
struct InterfaceDescription {
    std::function<std::shared_ptr<ViewController>(const Coder&)> instantiateRootViewController;
    std::function<void(ViewController&, std::shared_ptr<SceneView>)> connectSceneView;
};
void registerMainInterface(InterfaceDescription description);
// The registered main interface; a broken precondition before one is.
const InterfaceDescription& mainInterface();

enum class ApplicationState { active = 0, inactive = 1, background = 2 };

class Application {
public:
    // The application driven on this thread (ApplicationScope); a broken
    // precondition when there is none.
    static Application& sharedApplication();
    // That application, or none.
    static Application* current();

    explicit Application(DelegateFactory delegateFactory);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // What the application runs with: its launch description, back ends,
    // screen, random source and files.
    Environment& environment() { return environment_; }

    ApplicationDelegate* delegate() const { return delegate_.get(); }
    const std::vector<std::shared_ptr<Window>>& windows() const { return windows_; }

    // For the hosts: the life cycle, in the order the platform drives it.
    // Each makes the application the one driven on this thread while it
    // runs. `launch` puts `description` in force for the application's life, makes
    // the delegate, loads the main interface into a window that fills the
    // screen, tells the delegate, and shows the window, which loads the root
    // controller's view and makes it appear.
    void launch(LaunchDescription description);
    void resignActive();
    void enterBackground();
    void enterForeground();
    void becomeActive();
    void terminate();
    bool isLaunched() const { return launched_; }
    // The device's cameras came or went since launch (a browser lists
    // them only then): whether photos can be taken from now on.
    void setHasCamera(bool hasCamera);
    bool isTerminated() const { return terminated_; }

    // The key window's root controller, or none before launch.
    std::shared_ptr<ViewController> rootViewController() const;
    // The controller on top: the innermost presented one, or the root.
    std::shared_ptr<ViewController> topViewController() const;
    // The root controller's scene view, or none.
    std::shared_ptr<SceneView> sceneView() const;

    // The window and its views take `size`: the root controller is told
    // first, then the frames change, then the transition completes.
    void transitionToSize(graphics::Size size);

    // Touches enter here and go to the top controller when it is the root:
    // a presented controller has the screen and takes no drawing touches.
    // When a screen is presented over the root, the touches it holds are
    // cancelled at once, as a phone does, and later events of those touches
    // go nowhere.
    void sendTouchesBegan(const TouchSet& touches);
    void sendTouchesMoved(const TouchSet& touches);
    void sendTouchesEnded(const TouchSet& touches);
    void sendTouchesCancelled(const TouchSet& touches);
    void sendMotionEnded(EventSubtype motion);
    void sendMemoryWarning();
    // A key pressed: runs the root controller's matching key command while
    // nothing is presented over it. True when one ran.
    bool sendKeyCommand(std::string_view input, bool control);

    // A controller presented another: when it is the root, the touches it
    // holds are cancelled.
    void didPresent(ViewController& presenter);

private:
    // Touches reach the root controller only while it presents nothing.
    ViewController* touchTarget() const;
    // The touches of `touches` that the root holds (began and not ended).
    TouchSet held(const TouchSet& touches) const;
    void forget(const TouchSet& touches);
    void cancelHeldTouches();

    // Touches the root controller has been told began and not yet ended.
    TouchSet heldTouches_;

    // Destroyed last: the windows' controllers may still draw as they go.
    Environment environment_;
    DelegateFactory delegateFactory_;
    std::unique_ptr<ApplicationDelegate> delegate_;
    std::vector<std::shared_ptr<Window>> windows_;
    ApplicationState state_ = ApplicationState::inactive;
    bool launched_ = false;
    bool terminated_ = false;
};

// Makes `application` the one driven on the calling thread, with its
// environment in force, for as long as it lives; the one before comes back
// afterwards. A host holds one while it drives its application, so that
// everything it calls reaches that application's screen, back ends and
// random source; each thread has its own.
class ApplicationScope {
public:
    explicit ApplicationScope(Application& application);

private:
    platform::Current<Application> application_;
    EnvironmentScope environment_;
};

// A host: it fills the launch description, launches the application, runs
// its event loop and returns the process's exit status.
class Host {
public:
    virtual ~Host() = default;
    virtual int run(Application& application) = 0;
    // Whether the host goes on after `run` returns, driven by callbacks (a
    // browser owns the loop): the application and the host then live on.
    virtual bool runsOnAfterReturning() const { return false; }
};

// Picks the host for the command line. The program's composition root
// (app/) defines it; the platform only calls it.
std::unique_ptr<Host> makeHost(int argc, char** argv);

// The loop entry: makes the application with the named delegate class and
// runs the host chosen by the command line. Returns the exit status.
int applicationMain(int argc, char** argv, std::optional<std::string> principalClassName,
                    std::string delegateClassName);

}  // namespace ui
