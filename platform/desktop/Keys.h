// The desktop's keys, in one list: the help panel (F1) shows it in the
// user's language, so that what it says and what the window answers are
// kept side by side.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/PlatformTexts.h"

namespace desktop {

struct KeyHelp {
    const char* keys;
    // What the keys do, in English, simplified and traditional Chinese.
    const char* meaning[3];
};

const std::vector<KeyHelp>& keyHelp();

// The help panel's text, one key a line, in `language`.
std::string helpText(ui::TextLanguage language);

}  // namespace desktop
