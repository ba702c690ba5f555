#include "platform/graphics/Backend.h"

namespace graphics {

namespace {
std::unique_ptr<Backend>& installed() {
    static std::unique_ptr<Backend> backend;
    return backend;
}
}  // namespace

void installBackend(std::unique_ptr<Backend> backend) { installed() = std::move(backend); }

bool hasBackend() { return installed() != nullptr; }

Backend& backend() {
    platform::require(installed() != nullptr, "graphics::backend",
                      "no graphics back end installed");
    return *installed();
}

}  // namespace graphics
