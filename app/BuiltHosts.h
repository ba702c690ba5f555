// The hosts this build made, in the order their folders are added to the
// build. The build writes the list (from app/BuiltHosts.cpp.in) out of what
// each host's CMakeLists.txt declares with scrawlet_host().
#pragma once

#include <vector>

#include "platform/ui/HostChoice.h"

namespace scrawlet {

std::vector<ui::HostChoice> builtHosts();

}  // namespace scrawlet
