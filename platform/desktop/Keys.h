// The desktop's keys, in one list: the event loop follows it and the help
// panel (F1) shows it, so the two cannot disagree.
#pragma once

#include <string>
#include <vector>

namespace desktop {

struct KeyHelp {
    const char* keys;
    const char* meaning;
};

const std::vector<KeyHelp>& keyHelp();

// The help panel's text, one key a line.
std::string helpText();

}  // namespace desktop
