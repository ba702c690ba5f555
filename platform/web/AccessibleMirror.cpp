#include "platform/web/AccessibleMirror.h"

#include <nlohmann/json.hpp>

#include "platform/Precondition.h"

namespace web {

namespace {
const char* kindName(ui::AccessibleDialogKind kind) {
    switch (kind) {
        case ui::AccessibleDialogKind::alert: return "alert";
        case ui::AccessibleDialogKind::actionSheet: return "actionSheet";
        case ui::AccessibleDialogKind::imagePicker: return "imagePicker";
        case ui::AccessibleDialogKind::share: return "share";
    }
    platform::unreachable("kindName");
}

const char* styleName(ui::AccessibleChoiceStyle style) {
    switch (style) {
        case ui::AccessibleChoiceStyle::plain: return "plain";
        case ui::AccessibleChoiceStyle::cancel: return "cancel";
        case ui::AccessibleChoiceStyle::destructive: return "destructive";
    }
    platform::unreachable("styleName");
}
}  // namespace

std::string mirrorJson(const ui::AccessibleScreen& screen, double scaleX, double scaleY) {
    auto rect = [&](const graphics::Rect& r) {
        return nlohmann::json{r.origin.x * scaleX, r.origin.y * scaleY, r.width() * scaleX,
                              r.height() * scaleY};
    };
    nlohmann::json buttons = nlohmann::json::array();
    for (const auto& button : screen.buttons)
        buttons.push_back({{"label", button.label}, {"rect", rect(button.frame)}});
    nlohmann::json dialog = nullptr;
    if (screen.dialog) {
        nlohmann::json choices = nlohmann::json::array();
        for (const auto& choice : screen.dialog->choices)
            choices.push_back({{"label", choice.label},
                               {"rect", rect(choice.frame)},
                               {"style", styleName(choice.style)},
                               {"default", choice.isDefault}});
        dialog = {{"kind", kindName(screen.dialog->kind)},
                  // An alert interrupts; the rest are asked for.
                  {"role", screen.dialog->kind == ui::AccessibleDialogKind::alert ? "alertdialog"
                                                                                  : "dialog"},
                  {"title", screen.dialog->title},
                  {"message", screen.dialog->message ? nlohmann::json(*screen.dialog->message)
                                                     : nlohmann::json(nullptr)},
                  {"choices", std::move(choices)}};
    }
    nlohmann::json mirror = {
        {"buttons", std::move(buttons)},
        {"liveText", screen.liveText ? nlohmann::json(*screen.liveText) : nlohmann::json(nullptr)},
        {"dialog", std::move(dialog)}};
    return mirror.dump();
}

}  // namespace web
