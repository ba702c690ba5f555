#include "platform/ui/Presentation.h"

#include <algorithm>
#include <ctime>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/PhotoFile.h"
#include "platform/ui/LaunchDescription.h"

namespace ui {

AlertAction::AlertAction(Key, std::optional<std::string> title, AlertActionStyle style,
                         Handler handler)
    : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

std::shared_ptr<AlertAction> AlertAction::actionWithTitle(std::optional<std::string> title,
                                                          AlertActionStyle style, Handler handler) {
    return std::make_shared<AlertAction>(Key{}, std::move(title), style, std::move(handler));
}

void AlertAction::perform() {
    // Moved out first: the handler runs once, and whatever it holds is
    // released when it returns.
    Handler handler = std::move(handler_);
    handler_ = nullptr;
    if (handler) handler(*this);
}

AlertController::AlertController(std::optional<std::string> title,
                                 std::optional<std::string> message, AlertControllerStyle style)
    : ViewController(std::nullopt, std::nullopt),
      title_(std::move(title)),
      message_(std::move(message)),
      style_(style) {}

std::shared_ptr<AlertController> AlertController::alertControllerWithTitle(
    std::optional<std::string> title, std::optional<std::string> message,
    AlertControllerStyle style) {
    return std::make_shared<AlertController>(std::move(title), std::move(message), style);
}

void AlertController::addAction(std::shared_ptr<AlertAction> action) {
    platform::require(action != nullptr, "addAction", "no action given");
    platform::require(action->style() != AlertActionStyle::cancel || cancelAction() == nullptr,
                      "addAction", "an alert can have only one cancel action");
    actions_.push_back(std::move(action));
}

std::shared_ptr<AlertAction> AlertController::defaultAction() const {
    if (style_ != AlertControllerStyle::alert) return nullptr;
    auto safe = [](const std::shared_ptr<AlertAction>& action) {
        return action && action->style() != AlertActionStyle::destructive ? action : nullptr;
    };
    if (auto preferred = safe(preferred_)) return preferred;
    if (auto cancel = cancelAction()) return cancel;
    return actions_.size() == 1 ? safe(actions_.front()) : nullptr;
}

std::shared_ptr<AlertAction> AlertController::cancelAction() const {
    for (const auto& action : actions_)
        if (action->style() == AlertActionStyle::cancel) return action;
    return nullptr;
}

void AlertController::choose(const std::shared_ptr<AlertAction>& action) {
    platform::require(std::find(actions_.begin(), actions_.end(), action) != actions_.end(),
                      "AlertController::choose", "the action is not one of the alert's");
    auto self = shared_from_this();
    dismissViewControllerAnimated(true, nullptr);
    action->perform();
}

ModalPresentationStyle AlertController::defaultPresentationStyle() const {
    return style_ == AlertControllerStyle::actionSheet ? ModalPresentationStyle::popover
                                                       : ModalPresentationStyle::custom;
}

ImagePickerController::ImagePickerController() : ViewController(std::nullopt, std::nullopt) {}

bool ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType source) {
    switch (source) {
        case ImagePickerSourceType::camera: return currentLaunchDescription().hasCamera;
        case ImagePickerSourceType::photoLibrary:
        case ImagePickerSourceType::savedPhotosAlbum: return true;
    }
    platform::unreachable("isSourceTypeAvailable");
}

platform::Result<void> ImagePickerController::pickFile(const std::filesystem::path& file) {
    auto image = graphics::readPhoto(file);
    if (!image) return platform::fail(image.error());
    pick(std::move(image).value());
    return {};
}

void ImagePickerController::pick(std::shared_ptr<graphics::Image> image) {
    platform::require(image != nullptr, "ImagePickerController::pick", "no image given");
    auto self = shared_from_this();
    ImagePickerInfo info;
    info[imagePickerOriginalImage] = std::move(image);
    info[imagePickerMediaType] = std::string("public.image");
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
    else
        dismissViewControllerAnimated(true, nullptr);
}

void ImagePickerController::cancel() {
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidCancel(*this);
    else
        dismissViewControllerAnimated(true, nullptr);
}

ActivityViewController::ActivityViewController(std::vector<ActivityItem> activityItems,
                                               std::vector<std::string> applicationActivities)
    : ViewController(std::nullopt, std::nullopt),
      items_(std::move(activityItems)),
      applicationActivities_(std::move(applicationActivities)) {}

std::shared_ptr<graphics::Image> ActivityViewController::firstImage() const {
    for (const auto& item : items_)
        if (auto image = std::get_if<std::shared_ptr<graphics::Image>>(&item)) return *image;
    return nullptr;
}

void ActivityViewController::complete() {
    auto self = shared_from_this();
    dismissViewControllerAnimated(true, nullptr);
}

platform::Result<std::filesystem::path> ActivityViewController::saveToPictures(
    const std::filesystem::path& folder) {
    auto image = firstImage();
    if (!image) return platform::fail("there is no picture to save");
    auto png = graphics::backend().encodePng(*image->cgImage());
    if (!png) return platform::fail(png.error());
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    // Named by the time, like a screenshot; a second picture within the same
    // second gets a number instead of replacing the first.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "Scrawlet %Y-%m-%d %H.%M.%S", &local);
    std::filesystem::path file = folder / (std::string(stamp) + ".png");
    for (int n = 2; std::filesystem::exists(file, ignored); ++n)
        file = folder / (std::string(stamp) + " (" + std::to_string(n) + ").png");
    if (auto written = platform::writeFile(file, png.value()); !written)
        return platform::fail(written.error());
    complete();
    return file;
}

ModalPresentationStyle ActivityViewController::defaultPresentationStyle() const {
    return ModalPresentationStyle::popover;
}

}  // namespace ui
