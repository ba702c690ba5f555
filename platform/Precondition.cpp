#include "platform/Precondition.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void preconditionFailure(std::string_view operation, std::string_view what) {
    std::fprintf(stderr, "scrawlet: precondition failed in %.*s: %.*s\n",
                 static_cast<int>(operation.size()), operation.data(),
                 static_cast<int>(what.size()), what.data());
    std::fflush(stderr);
    std::abort();
}

}  // namespace platform
