#include "platform/graphics/Backend.h"

#include "platform/graphics/Context.h"

namespace graphics {

bool hasBackend() {
    Context* context = ContextScope::get();
    return context != nullptr && context->backend != nullptr;
}

Backend& backend() {
    platform::require(hasBackend(), "graphics::backend", "no graphics back end in force");
    return *currentContext().backend;
}

}  // namespace graphics
