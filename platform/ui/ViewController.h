// View controllers: the responder callbacks a controller overrides, its
// view's life cycle, and modal presentation. A presented controller is held
// by the controller that presented it until it is dismissed.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace ui {

class PopoverPresentationController;
class AlertController;
class ImagePickerController;
class ActivityViewController;

// The framework's own screens that a controller can present, a closed set.
// Whatever answers or draws them visits this variant, so that a new kind
// does not compile until every such place handles it.
using PresentedScreen =
    std::variant<AlertController*, ImagePickerController*, ActivityViewController*>;

// A keyboard shortcut a controller offers: a key, with or without Control,
// that runs one of its commands. `input` is a character ("z") or a key's
// name ("Delete", "F10").
struct KeyCommand {
    std::string input;
    bool control = false;
    std::function<void()> action;
};

// Responds to touches and motion; the default responses do nothing.
class Responder {
public:
    virtual ~Responder() = default;
    virtual void touchesBegan(const TouchSet& touches, const Event* event);
    virtual void touchesMoved(const TouchSet& touches, const Event* event);
    virtual void touchesEnded(const TouchSet& touches, const Event* event);
    virtual void touchesCancelled(const TouchSet& touches, const Event* event);
    virtual void motionEnded(EventSubtype motion, const Event* event);
    virtual bool becomeFirstResponder();
};

// What an interface description decodes a controller from.
struct Coder {
    std::map<std::string, std::string> values;
};

// Passed with a size transition; completions run once the new size is set.
class TransitionCoordinator {
public:
    void animateAlongsideTransition(std::function<void()> animation,
                                    std::function<void()> completion);
    void finish();

private:
    std::vector<std::function<void()>> animations_;
    std::vector<std::function<void()>> completions_;
};

enum class ModalPresentationStyle {
    fullScreen = 0,
    pageSheet = 1,
    formSheet = 2,
    currentContext = 3,
    custom = 4,
    overFullScreen = 5,
    overCurrentContext = 6,
    popover = 7,
    automatic = -2,
};

class ViewController : public Responder, public std::enable_shared_from_this<ViewController> {
public:
    // The interface description's path.
    explicit ViewController(const Coder& coder);
    // The code path: an optional interface file and bundle folder.
    ViewController(std::optional<std::string> nibName, std::optional<std::filesystem::path> bundle);
    ~ViewController() override;

    // The view, loading it first if needed (which runs `viewDidLoad`).
    const std::shared_ptr<View>& view();
    bool isViewLoaded() const { return viewLoaded_; }
    void loadViewIfNeeded() { view(); }
    // The view an interface description supplies; used when the view loads.
    void setView(std::shared_ptr<View> view);

    virtual void viewDidLoad();
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    virtual void viewWillTransitionToSize(graphics::Size size, TransitionCoordinator& coordinator);
    virtual void didReceiveMemoryWarning();
    virtual bool prefersStatusBarHidden() const;
    virtual bool prefersHomeIndicatorAutoHidden() const;

    // The keyboard shortcuts this controller offers; none by default.
    virtual std::vector<KeyCommand> keyCommands() { return {}; }

    // The document this controller shows, for hosts that can close it: its
    // changes since it was last saved or opened, saving them (false when
    // that failed), and the file it was last saved to or opened from.
    virtual bool hasUnsavedChanges() const { return false; }
    virtual bool saveChanges() { return true; }
    virtual std::optional<std::filesystem::path> documentFile() const { return std::nullopt; }

    // Shows `controller` modally over this one. Ignored, with a warning, when
    // this controller is already presenting another.
    void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                               std::function<void()> completion);
    // Dismisses what this controller presents or, when it presents nothing,
    // this controller itself.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion);
    const std::shared_ptr<ViewController>& presentedViewController() const { return presented_; }
    ViewController* presentingViewController() const { return presenting_; }

    // The style asked for, or the controller's own default.
    ModalPresentationStyle modalPresentationStyle() const {
        return modalPresentationStyle_.value_or(defaultPresentationStyle());
    }
    void setModalPresentationStyle(ModalPresentationStyle style) {
        modalPresentationStyle_ = style;
    }
    // The popover anchor, present where the device shows this controller as
    // a popover; none otherwise.
    PopoverPresentationController* popoverPresentationController();

    const std::optional<std::string>& nibName() const { return nibName_; }

    // Which of the framework's screens this controller is; none for the
    // application's own controllers.
    virtual std::optional<PresentedScreen> presentedScreen() { return std::nullopt; }

protected:
    // What a controller that shows as a popover on a pad defaults to.
    virtual ModalPresentationStyle defaultPresentationStyle() const;

private:
    std::optional<std::string> nibName_;
    std::shared_ptr<View> view_;
    bool viewLoaded_ = false;
    std::optional<ModalPresentationStyle> modalPresentationStyle_;
    std::unique_ptr<PopoverPresentationController> popover_;
    std::shared_ptr<ViewController> presented_;
    ViewController* presenting_ = nullptr;
};

}  // namespace ui
