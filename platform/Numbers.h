// Numbers as text, the same on every build: the shortest decimal that reads
// back as the same float, and decimal text read exactly. The browser
// build's C++ library has no floating-point to_chars or from_chars, so this
// falls back to the C library there.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The shortest decimal text that reads back as exactly `value` ("1.234"
// for 1.234f, not "1.2339999675750732"); "inf", "-inf" or "nan" for those.
std::string shortestText(float value);

// Reads the whole of `text` as a decimal number (an optional '-', digits, an
// optional fraction and exponent; no spaces, no '+' in front). False for
// anything else, and for a number too large for a double.
bool parseDecimal(std::string_view text, double& value);

}  // namespace platform
