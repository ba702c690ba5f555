#include "platform/graphics/Backend.h"

namespace graphics {

namespace {
std::shared_ptr<Backend>& installed() {
    static std::shared_ptr<Backend> backend;
    return backend;
}
}  // namespace

void installBackend(std::shared_ptr<Backend> backend) { installed() = std::move(backend); }

bool hasBackend() { return installed() != nullptr; }

Backend& backend() {
    platform::require(installed() != nullptr, "graphics::backend",
                      "no graphics back end installed");
    return *installed();
}

}  // namespace graphics
