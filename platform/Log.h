// The one place the program tells the user about failures it handled (a
// save that failed, a picture that could not be drawn): a line on standard
// error, "scrawlet: …". Tests capture the lines instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Current.h"

namespace platform {

// Writes one line to the sink in force on this thread.
void log(std::string_view message);

// Collects the lines logged on this thread while it lives, instead of
// writing them out.
class LogCapture {
public:
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }

private:
    friend void log(std::string_view message);
    std::vector<std::string> lines_;
    Current<LogCapture> inForce_;
};

}  // namespace platform
