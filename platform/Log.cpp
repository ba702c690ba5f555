#include "platform/Log.h"

#include <cstdio>

namespace platform {

void log(std::string_view message) {
    if (auto* into = Current<LogCapture>::get()) {
        into->lines_.emplace_back(message);
        return;
    }
    std::fprintf(stderr, "scrawlet: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
}

LogCapture::LogCapture() : inForce_(*this) {}

}  // namespace platform
