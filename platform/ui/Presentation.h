// What a controller can present: alerts and action sheets with their
// actions, the image picker, the share sheet, and the popover anchor that a
// pad uses to point such a controller at a place on the screen.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Result.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ViewController.h"

namespace ui {

enum class PopoverArrowDirection : unsigned { up = 1, down = 2, left = 4, right = 8, any = 15 };

class PopoverPresentationController {
public:
    View* sourceView() const { return sourceView_; }
    void setSourceView(View* view) { sourceView_ = view; }
    graphics::Rect sourceRect() const { return sourceRect_; }
    void setSourceRect(graphics::Rect rect) { sourceRect_ = rect; }
    unsigned permittedArrowDirections() const { return arrows_; }
    void setPermittedArrowDirections(unsigned directions) { arrows_ = directions; }
    void setPermittedArrowDirections(PopoverArrowDirection direction) {
        arrows_ = static_cast<unsigned>(direction);
    }

private:
    View* sourceView_ = nullptr;
    graphics::Rect sourceRect_;
    unsigned arrows_ = static_cast<unsigned>(PopoverArrowDirection::any);
};

enum class AlertActionStyle { defaultStyle = 0, cancel = 1, destructive = 2 };

class AlertAction {
    struct Key {};

public:
    using Handler = std::function<void(AlertAction&)>;
    AlertAction(Key, std::optional<std::string> title, AlertActionStyle style, Handler handler);

    static std::shared_ptr<AlertAction> actionWithTitle(std::optional<std::string> title,
                                                        AlertActionStyle style, Handler handler);

    const std::optional<std::string>& title() const { return title_; }
    AlertActionStyle style() const { return style_; }

    // Runs the handler, at most once in the action's life.
    void perform();

private:
    std::optional<std::string> title_;
    AlertActionStyle style_;
    Handler handler_;
};

enum class AlertControllerStyle { actionSheet = 0, alert = 1 };

class AlertController : public ViewController {
public:
    AlertController(std::optional<std::string> title, std::optional<std::string> message,
                    AlertControllerStyle style);
    static std::shared_ptr<AlertController> alertControllerWithTitle(
        std::optional<std::string> title, std::optional<std::string> message,
        AlertControllerStyle style);

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    AlertControllerStyle preferredStyle() const { return style_; }
    const std::vector<std::shared_ptr<AlertAction>>& actions() const { return actions_; }
    // Appends an action; a second cancel action is a broken precondition.
    void addAction(std::shared_ptr<AlertAction> action);

    const std::shared_ptr<AlertAction>& preferredAction() const { return preferred_; }
    void setPreferredAction(std::shared_ptr<AlertAction> action) { preferred_ = std::move(action); }
    // What Enter chooses: the action drawn bold, which is the preferred
    // action or else the cancel action, or else the alert's only action;
    // never a destructive one, so that Enter cannot destroy work. Sheets
    // have none.
    std::shared_ptr<AlertAction> defaultAction() const;
    // What Esc chooses: the cancel action, if any.
    std::shared_ptr<AlertAction> cancelAction() const;

    // The user's choice: the alert is dismissed, then the action's handler
    // runs once.
    void choose(const std::shared_ptr<AlertAction>& action);

    std::optional<PresentedScreen> presentedScreen() override { return this; }

protected:
    ModalPresentationStyle defaultPresentationStyle() const override;

private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    AlertControllerStyle style_;
    std::vector<std::shared_ptr<AlertAction>> actions_;
    std::shared_ptr<AlertAction> preferred_;
};

enum class ImagePickerSourceType { photoLibrary = 0, camera = 1, savedPhotosAlbum = 2 };

// Keys of the dictionary a picker hands its delegate; each wraps a string.
struct ImagePickerInfoKey {
    std::string rawValue;
    friend bool operator==(const ImagePickerInfoKey&, const ImagePickerInfoKey&) = default;
    // Written out rather than defaulted through <=>, which older standard
    // libraries (the browser build's) lack for strings.
    friend bool operator<(const ImagePickerInfoKey& a, const ImagePickerInfoKey& b) {
        return a.rawValue < b.rawValue;
    }
};
inline const ImagePickerInfoKey imagePickerOriginalImage{"UIImagePickerControllerOriginalImage"};
inline const ImagePickerInfoKey imagePickerMediaType{"UIImagePickerControllerMediaType"};
using ImagePickerInfo = std::map<ImagePickerInfoKey, std::any>;

class ImagePickerController;

class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(
        ImagePickerController& picker, const ImagePickerInfo& info) = 0;
    virtual void imagePickerControllerDidCancel(ImagePickerController& picker) = 0;
};

class ImagePickerController : public ViewController {
public:
    ImagePickerController();

    // Whether the device has that source; the photo library is always there.
    static bool isSourceTypeAvailable(ImagePickerSourceType source);

    ImagePickerSourceType sourceType() const { return sourceType_; }
    void setSourceType(ImagePickerSourceType source) { sourceType_ = source; }
    const std::weak_ptr<ImagePickerControllerDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    // The user picked the picture in `file`. A file that is not a decodable
    // picture is refused with the reason and the picker stays open; the
    // delegate only ever receives an image.
    platform::Result<void> pickFile(const std::filesystem::path& file);
    // The user picked `image`: the delegate receives it as the original image.
    void pick(std::shared_ptr<graphics::Image> image);
    // The user cancelled: the delegate is told, or the picker goes away if
    // it has none.
    void cancel();

    std::optional<PresentedScreen> presentedScreen() override { return this; }

private:
    ImagePickerSourceType sourceType_ = ImagePickerSourceType::photoLibrary;
    std::weak_ptr<ImagePickerControllerDelegate> delegate_;
};

// What the share sheet can carry: text or an image.
using ActivityItem = std::variant<std::string, std::shared_ptr<graphics::Image>>;

class ActivityViewController : public ViewController {
public:
    ActivityViewController(std::vector<ActivityItem> activityItems,
                           std::vector<std::string> applicationActivities);
    const std::vector<ActivityItem>& activityItems() const { return items_; }
    // The first image among the items, or none.
    std::shared_ptr<graphics::Image> firstImage() const;
    // The user finished with the sheet (shared or cancelled); it goes away.
    void complete();
    // The "Save to Pictures" activity: writes the first image as a PNG named
    // with the date and time into `folder`, then the sheet goes away. On
    // failure the sheet stays and the reason comes back.
    platform::Result<std::filesystem::path> saveToPictures(const std::filesystem::path& folder);

    std::optional<PresentedScreen> presentedScreen() override { return this; }

protected:
    ModalPresentationStyle defaultPresentationStyle() const override;

private:
    std::vector<ActivityItem> items_;
    std::vector<std::string> applicationActivities_;
};

}  // namespace ui
