// The browser host: the page owns the loop, so the host is driven by the
// page's callbacks (animation frames, XR frames, pointer and key events, the
// file chooser and the share sheet answering) rather than by a loop of its
// own. The page's half is in Page.js and Storage.js.
#pragma once

#include <memory>

#include "platform/ui/HostChoice.h"

namespace web {

// The page. The request's back ends are the graphics back end and the scene
// file; the host fills in the rest from the page and the browser.
ui::HostChoice hostChoice();

}  // namespace web
