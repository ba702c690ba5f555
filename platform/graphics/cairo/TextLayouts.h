// Text laid out by pango for cairo, keeping what is costly to make and safe
// to reuse (one pango context, the layouts of recent strings: every sample
// of a stroke draws the same emoji); colour emoji are one point size wide.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/graphics/Font.h"

namespace graphics {

class TextLayouts {
public:
    TextLayouts();
    ~TextLayouts();
    TextLayouts(const TextLayouts&) = delete;
    TextLayouts& operator=(const TextLayouts&) = delete;

    // `text` in `font`, wrapped at `width` points (0 for no wrapping),
    // laid out for drawing through `cr`'s current transform, or for
    // measuring when `cr` is none. The layout stays owned here and is valid
    // until the next call.
    PangoLayout* layout(cairo_t* cr, std::string_view text, const Font& font, double width);

private:
    void makeContext();
    PangoLayout* makeLayout(std::string_view text, const Font& font, double width);
    void matchTransform(cairo_t* cr);

    PangoContext* context_ = nullptr;
    // The transform the context was last set up for; layouts made for it
    // stay valid while drawing keeps to it.
    cairo_matrix_t matrix_{};
    bool matched_ = false;

    struct Entry {
        std::string key;
        PangoLayout* layout;
    };
    std::list<Entry> recent_;
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

}  // namespace graphics
