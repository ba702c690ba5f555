#include "platform/ui/PresentedResponse.h"

#include "platform/Files.h"
#include "platform/Overloaded.h"
#include "platform/graphics/Backend.h"
#include "platform/ui/LaunchDescription.h"
#include "platform/ui/PlatformTexts.h"

namespace ui {

namespace {
// The top presented screen, if it is one of the framework's.
std::optional<PresentedScreen> topScreen(const Application& application) {
    auto top = topPresented(application);
    if (!top) return std::nullopt;
    return top->presentedScreen();
}

template <class Kind>
Kind* topOfKind(const Application& application) {
    auto screen = topScreen(application);
    if (!screen) return nullptr;
    auto* kind = std::get_if<Kind*>(&*screen);
    return kind ? *kind : nullptr;
}

void chooseIndex(AlertController& alert, std::size_t index) {
    platform::require(index < alert.actions().size(), "respondToTarget",
                      "the target names an action the alert does not have");
    alert.choose(alert.actions()[index]);
}
}  // namespace

std::shared_ptr<ViewController> topPresented(const Application& application) {
    auto top = application.topViewController();
    return top == application.rootViewController() ? nullptr : top;
}

std::optional<Problem> respondToTarget(Application& application, const PresentedLayout& layout,
                                       std::size_t index) {
    platform::require(index < layout.targets.size(), "respondToTarget", "no such target");
    auto top = topPresented(application);
    auto screen = topScreen(application);
    if (!top || !screen) return std::nullopt;
    const PresentedTarget& target = layout.targets[index];
    // Holds the screen while its handlers run.
    auto self = top;
    std::optional<Problem> problem;
    std::visit(
        platform::Overloaded{
            [&](AlertController* alert) {
                switch (target.role) {
                    case PresentedTargetRole::action:
                        chooseIndex(*alert, *target.actionIndex);
                        break;
                    case PresentedTargetRole::outside:
                        if (target.actionIndex)
                            chooseIndex(*alert, *target.actionIndex);
                        else
                            alert->dismissViewControllerAnimated(true, nullptr);
                        break;
                    case PresentedTargetRole::pickFile:
                    case PresentedTargetRole::cancelPicker:
                    case PresentedTargetRole::takePicture:
                    case PresentedTargetRole::saveToPictures:
                    case PresentedTargetRole::cancelShare:
                        platform::preconditionFailure("respondToTarget", "not an alert's target");
                }
            },
            [&](ImagePickerController* picker) {
                switch (target.role) {
                    case PresentedTargetRole::pickFile:
                        if (auto picked = picker->pickFile(target.file); !picked)
                            problem = Problem{platformTexts().pictureCannotBeUsed, picked.error()};
                        break;
                    case PresentedTargetRole::cancelPicker: picker->cancel(); break;
                    // The camera takes its pictures through the host, which
                    // hands them to the picker (pickFile or pick).
                    case PresentedTargetRole::takePicture: break;
                    case PresentedTargetRole::action:
                    case PresentedTargetRole::outside:
                    case PresentedTargetRole::saveToPictures:
                    case PresentedTargetRole::cancelShare:
                        platform::preconditionFailure("respondToTarget", "not a picker's target");
                }
            },
            [&](ActivityViewController* share) {
                switch (target.role) {
                    case PresentedTargetRole::saveToPictures:
                        if (auto saved =
                                share->saveToPictures(currentLaunchDescription().picturesFolder);
                            !saved)
                            problem = Problem{platformTexts().pictureNotSaved, saved.error()};
                        break;
                    case PresentedTargetRole::outside:
                    case PresentedTargetRole::cancelShare: share->complete(); break;
                    case PresentedTargetRole::action:
                    case PresentedTargetRole::pickFile:
                    case PresentedTargetRole::cancelPicker:
                    case PresentedTargetRole::takePicture:
                        platform::preconditionFailure("respondToTarget",
                                                      "not a share sheet's target");
                }
            },
        },
        *screen);
    return problem;
}

bool cancelPresented(Application& application) {
    auto top = topPresented(application);
    auto screen = topScreen(application);
    if (!screen) return false;
    return std::visit(platform::Overloaded{
                          [&](AlertController* alert) {
                              if (auto cancel = alert->cancelAction()) {
                                  alert->choose(cancel);
                                  return true;
                              }
                              // A popover without a cancel action goes away
                              // as a click beside it would take it.
                              if (alert->popoverPresentationController() == nullptr) return false;
                              alert->dismissViewControllerAnimated(true, nullptr);
                              return true;
                          },
                          [&](ImagePickerController* picker) {
                              picker->cancel();
                              return true;
                          },
                          [&](ActivityViewController* share) {
                              share->complete();
                              return true;
                          },
                      },
                      *screen);
}

bool performDefaultAction(Application& application) {
    auto* alert = topOfKind<AlertController>(application);
    if (alert == nullptr) return false;
    auto action = alert->defaultAction();
    if (!action) return false;
    auto self = alert->shared_from_this();
    alert->choose(action);
    return true;
}

platform::Result<void> chooseAction(Application& application, std::size_t number) {
    auto* alert = topOfKind<AlertController>(application);
    if (alert == nullptr) return platform::fail("no alert or sheet is shown");
    const auto& actions = alert->actions();
    if (number < 1 || number > actions.size())
        return platform::fail("the alert has " + std::to_string(actions.size()) +
                              " actions, #1 to #" + std::to_string(actions.size()));
    auto self = alert->shared_from_this();
    alert->choose(actions[number - 1]);
    return {};
}

platform::Result<void> chooseAction(Application& application, std::string_view title) {
    auto* alert = topOfKind<AlertController>(application);
    if (alert == nullptr) return platform::fail("no alert or sheet is shown");
    const auto& actions = alert->actions();
    for (std::size_t i = 0; i < actions.size(); ++i)
        if (actions[i]->title() == title) return chooseAction(application, i + 1);
    std::string titles;
    for (const auto& action : actions)
        titles += (titles.empty() ? "" : ", ") + action->title().value_or("");
    return platform::fail("no action titled '" + std::string(title) + "' (there are: " + titles +
                          ")");
}

platform::Result<void> pickFile(Application& application, const std::filesystem::path& file) {
    auto* picker = topOfKind<ImagePickerController>(application);
    if (picker == nullptr) return platform::fail("no image picker is shown");
    auto self = picker->shared_from_this();
    return picker->pickFile(file);
}

platform::Result<void> saveSharedPicture(Application& application,
                                         const std::filesystem::path& file) {
    auto* share = topOfKind<ActivityViewController>(application);
    if (share == nullptr) return platform::fail("no share sheet is shown");
    auto image = share->firstImage();
    if (!image) return platform::fail("the share sheet holds no picture");
    TRY_LET(png, graphics::backend().encodePng(*image->cgImage()));
    TRY(platform::writeFile(file, png, platform::WriteOptions::throughSpecialFiles()));
    auto self = share->shared_from_this();
    share->complete();
    return {};
}

void askBeforeQuitting(Application& application, std::function<void()> quit) {
    auto root = application.rootViewController();
    auto top = application.topViewController();
    if (!root || !top || !root->hasUnsavedChanges()) {
        quit();
        return;
    }
    const auto& texts = platformTexts();
    auto alert = AlertController::alertControllerWithTitle(std::nullopt, texts.saveBeforeQuitting,
                                                           AlertControllerStyle::alert);
    auto save = AlertAction::actionWithTitle(texts.save, AlertActionStyle::defaultStyle,
                                             [root, quit](AlertAction&) {
                                                 if (root->saveChanges()) quit();
                                             });
    alert->addAction(save);
    alert->addAction(AlertAction::actionWithTitle(texts.dontSave, AlertActionStyle::destructive,
                                                  [quit](AlertAction&) { quit(); }));
    alert->addAction(AlertAction::actionWithTitle(texts.cancel, AlertActionStyle::cancel, nullptr));
    alert->setPreferredAction(save);
    top->presentViewController(alert, true, nullptr);
}

void showProblem(Application& application, const Problem& problem) {
    auto top = application.topViewController();
    if (!top) return;
    auto alert = AlertController::alertControllerWithTitle(problem.title, problem.message,
                                                           AlertControllerStyle::alert);
    alert->addAction(
        AlertAction::actionWithTitle(platformTexts().ok, AlertActionStyle::cancel, nullptr));
    top->presentViewController(alert, true, nullptr);
}

}  // namespace ui
