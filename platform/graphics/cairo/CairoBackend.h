// The graphics back end on cairo and pango: bitmaps are cairo image
// surfaces, text is laid out by pango with fontconfig's fallback (colour
// emoji from Noto Color Emoji, Chinese from Noto CJK), photos are decoded
// with libjpeg-turbo and libpng and tagged from their EXIF orientation.
#pragma once

#include <memory>

#include "platform/graphics/Backend.h"

namespace graphics {

std::unique_ptr<Backend> makeCairoBackend();

// The installed family that stands in for a font the program names: the
// label font "Noteworthy-Bold" becomes Comic Neue Bold. Empty names are the
// system font.
std::string fontDescriptionFor(const Font& font);

}  // namespace graphics
