// Broken preconditions are programming errors: they stop the program with a
// message that names the operation, instead of limping on with bad state.
// Failures that input can cause are returned as values (see Result.h).
#pragma once

#include <string_view>

namespace platform {

[[noreturn]] void preconditionFailure(std::string_view operation, std::string_view what);

// Stops the program when `condition` is false.
inline void require(bool condition, std::string_view operation, std::string_view what) {
    if (!condition) preconditionFailure(operation, what);
}

// After a switch that lists every value of an enumeration: a value outside
// them is memory gone wrong, not a case to handle with a plausible answer.
[[noreturn]] inline void unreachable(std::string_view operation) {
    preconditionFailure(operation, "a value outside its enumeration");
}

}  // namespace platform
