// The application's own image resources, found by name under resources/:
// "menu" is menu.png, menu@2x.png or menu@3x.png, the one nearest the main
// screen's scale.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/graphics/Image.h"

namespace graphics {

// The folder the resources are read from: $SCRAWLET_RESOURCES if set, else
// the resources/ folder beside the program, else the source tree's.
std::filesystem::path resourceDirectory();

// The named image at the scale nearest the main screen's, or none when
// there is no such resource or it cannot be decoded.
std::shared_ptr<const Image> imageNamed(std::string_view name);

}  // namespace graphics
