// How a host offers itself to the program: its name, the command-line word
// that picks it, its line of the usage text, and the function that makes it.
// Every host's folder has one such function; the build lists those of the
// hosts it made (app/BuiltHosts.h), and the composition root picks from
// that list.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/LaunchDescription.h"

namespace ui {

// What a host is made from.
struct HostRequest {
    // The command line's words after the one that picked the host.
    std::vector<std::string> arguments;
    // The program's usage text, for a host that refuses its arguments.
    std::string usage;
    // The back ends that draw and store scenes; the host fills in the rest.
    LaunchDescription backEnds;
};

struct HostChoice {
    std::string_view name;
    // The command-line word that picks the host ("--headless"); empty for
    // the host that runs when the program is given none.
    std::string_view option;
    // The host's line of the usage text, after "usage: ".
    std::string_view usage;
    std::unique_ptr<Host> (*make)(HostRequest request);
};

// A host that only says `message` (on standard output when `status` is 0,
// else on standard error) and ends with `status`: how a host refuses.
std::unique_ptr<Host> makeMessageHost(std::string message, int status);

}  // namespace ui
