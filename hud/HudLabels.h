// What a screen reader calls the HUD's three round buttons, in the user's
// language. The buttons show only icons, so these names are heard, never
// drawn.
#pragma once

#include <string>

#include "platform/ui/PlatformTexts.h"

namespace scrawlet {

struct HudLabels {
    std::string menu;
    std::string undo;
    std::string clear;
};

const HudLabels& hudLabels(ui::TextLanguage language);

}  // namespace scrawlet
