// The page's copy of what a screen reader reaches (ui::AccessibleScreen):
// the JSON that Mirror.js turns into transparent DOM buttons over the
// canvas, a live region and dialogs, in page coordinates.
#pragma once

#include <string>

#include "platform/ui/Accessibility.h"

namespace web {

// `scaleX` and `scaleY` turn the screen's points into the page's CSS pixels.
std::string mirrorJson(const ui::AccessibleScreen& screen, double scaleX, double scaleY);

}  // namespace web
