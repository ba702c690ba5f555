#include "platform/Log.h"

#include <cstdio>

namespace platform {

namespace {
LogCapture*& capture() {
    static LogCapture* innermost = nullptr;
    return innermost;
}
}  // namespace

void log(std::string_view message) {
    if (auto* into = capture()) {
        into->lines_.emplace_back(message);
        return;
    }
    std::fprintf(stderr, "scrawlet: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
}

LogCapture::LogCapture() : previous_(capture()) { capture() = this; }
LogCapture::~LogCapture() { capture() = previous_; }

}  // namespace platform
