// A dummy host that says its arguments back and ends.
#pragma once

#include "platform/ui/HostChoice.h"

namespace echo {

ui::HostChoice hostChoice();

}  // namespace echo
