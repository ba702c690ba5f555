// Scripts in the automation language: one command a line, `#` starts a
// comment, TEXT may be quoted with `"`. A script is checked whole before it
// runs, so a malformed line stops it before anything has happened.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace automation {

struct Command {
    int line = 0;
    std::string name;
    // The words after the name, quotes removed.
    std::vector<std::string> args;
    // The numeric arguments, where the command takes numbers.
    std::vector<double> numbers;
    // The whole number a command takes (a seed, an action's number).
    std::optional<std::uint64_t> whole;
};

// Splits one line into words; a quoted word may hold spaces and `\"`.
platform::Result<std::vector<std::string>> splitWords(std::string_view line);

// Parses and checks a whole script: command names, argument counts and
// forms, and that set-up commands come before `launch` and the rest after.
// With `launched`, the application already runs: set-up commands and
// `launch` are refused, and the others need no `launch` first. Each
// command goes to `each` as it is read; the first malformed line stops it.
platform::Result<void> forEachCommand(std::string_view text, bool launched,
                                      const std::function<void(Command&&)>& each);
// The same, kept in a list.
platform::Result<std::vector<Command>> parseScript(std::string_view text, bool launched = false);

}  // namespace automation
