#include "platform/graphics/cairo/TextLayouts.h"

#include <hb-ot.h>
#include <pango/pangocairo.h>

#include <charconv>

#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/graphics/cairo/CairoOwners.h"

namespace graphics {

namespace {

// Layouts kept for reuse: room for every emoji of the table (a drawing
// session cycles through all of them, stroke by stroke) and the labels,
// with some to spare. Each layout takes a few kilobytes.
constexpr std::size_t keptLayouts = 256;

bool isColourFont(PangoFont* font) {
    hb_font_t* hb = font ? pango_font_get_hb_font(font) : nullptr;
    if (!hb) return false;
    hb_face_t* face = hb_font_get_face(hb);
    return hb_ot_color_has_png(face) || hb_ot_color_has_layers(face) || hb_ot_color_has_svg(face);
}

// How wide the font draws an emoji, in ems. Colour emoji fonts draw wider
// than an em (Noto Color Emoji 1.25 em), so an emoji at the text's size
// would overflow a square of that size.
double emojiWidthInEms(PangoFont* font) {
    hb_font_t* hb = pango_font_get_hb_font(font);
    hb_codepoint_t glyph = 0;
    if (!hb || !hb_font_get_nominal_glyph(hb, 0x1F600, &glyph)) return 1;
    int xScale = 0, yScale = 0;
    hb_font_get_scale(hb, &xScale, &yScale);
    hb_position_t advance = hb_font_get_glyph_h_advance(hb, glyph);
    if (xScale <= 0 || advance <= 0) return 1;
    return static_cast<double>(advance) / xScale;
}

struct FontDescription {
    PangoFontDescription* description;
    explicit FontDescription(const Font& font)
        : description(pango_font_description_from_string(fontDescriptionFor(font).c_str())) {
        // Sizes are in the drawing's units (points), not typographic points
        // at some screen resolution.
        pango_font_description_set_absolute_size(description, font.pointSize * PANGO_SCALE);
    }
    ~FontDescription() { pango_font_description_free(description); }
};

std::string layoutKey(std::string_view text, const Font& font, double width) {
    std::string key(text);
    key += '\0';
    key += fontDescriptionFor(font);
    char number[32];
    for (double value : {font.pointSize, width}) {
        key += '\0';
        auto end = std::to_chars(number, number + sizeof number, value).ptr;
        key.append(number, end);
    }
    return key;
}

}  // namespace

TextLayouts::TextLayouts() = default;

TextLayouts::~TextLayouts() {
    for (Entry& entry : recent_) g_object_unref(entry.layout);
    if (context_) g_object_unref(context_);
}

void TextLayouts::makeContext() {
    // Made on first use: loading the fonts takes a while, and a program
    // that draws no text need not wait for it.
    PangoFontMap* fontMap = pango_cairo_font_map_get_default();
    context_ = pango_font_map_create_context(fontMap);
    // Start out set up for measuring: an image surface's font options and
    // the identity transform.
    CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
    CairoContext cr(cairo_create(surface.get()));
    pango_cairo_update_context(cr.get(), context_);
    cairo_matrix_init_identity(&matrix_);
    matched_ = true;
}

void TextLayouts::matchTransform(cairo_t* cr) {
    cairo_matrix_t matrix;
    if (cr)
        cairo_get_matrix(cr, &matrix);
    else
        cairo_matrix_init_identity(&matrix);
    // Layout depends on the scale and turn, not on where text is placed.
    matrix.x0 = matrix.y0 = 0;
    if (matched_ && matrix.xx == matrix_.xx && matrix.yx == matrix_.yx && matrix.xy == matrix_.xy &&
        matrix.yy == matrix_.yy)
        return;
    if (cr) {
        pango_cairo_update_context(cr, context_);
    } else {
        PangoMatrix identity = PANGO_MATRIX_INIT;
        pango_context_set_matrix(context_, &identity);
    }
    matrix_ = matrix;
    matched_ = true;
    // Layouts made for the old transform are not reused for the new one.
    for (Entry& entry : recent_) g_object_unref(entry.layout);
    recent_.clear();
    index_.clear();
}

PangoLayout* TextLayouts::layout(cairo_t* cr, std::string_view text, const Font& font,
                                 double width) {
    if (!context_) makeContext();
    matchTransform(cr);
    std::string key = layoutKey(text, font, width);
    if (auto found = index_.find(key); found != index_.end()) {
        recent_.splice(recent_.begin(), recent_, found->second);
        return found->second->layout;
    }
    if (recent_.size() >= keptLayouts) {
        index_.erase(recent_.back().key);
        g_object_unref(recent_.back().layout);
        recent_.pop_back();
    }
    recent_.push_front({std::move(key), makeLayout(text, font, width)});
    index_.emplace(recent_.front().key, recent_.begin());
    return recent_.front().layout;
}

PangoLayout* TextLayouts::makeLayout(std::string_view text, const Font& font, double width) {
    FontDescription description(font);
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_font_description(layout, description.description);
    if (width > 0) {
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));

    // Find the runs that fall to a colour emoji font, and size them so that
    // an emoji is as wide as the text's point size: a 30-point emoji fills
    // a 30-point square, as emoji do in the system's own text.
    PangoAttrList* fontOnly = pango_attr_list_new();
    pango_attr_list_insert(fontOnly, pango_attr_font_desc_new(description.description));
    GList* items =
        pango_itemize(context_, text.data(), 0, static_cast<int>(text.size()), fontOnly, nullptr);
    PangoAttrList* sizes = nullptr;
    for (GList* node = items; node; node = node->next) {
        auto* item = static_cast<PangoItem*>(node->data);
        if (isColourFont(item->analysis.font)) {
            double ems = emojiWidthInEms(item->analysis.font);
            PangoAttribute* size =
                pango_attr_size_new_absolute(static_cast<int>(font.pointSize / ems * PANGO_SCALE));
            size->start_index = static_cast<guint>(item->offset);
            size->end_index = static_cast<guint>(item->offset + item->length);
            if (!sizes) sizes = pango_attr_list_new();
            pango_attr_list_insert(sizes, size);
        }
        pango_item_free(item);
    }
    g_list_free(items);
    pango_attr_list_unref(fontOnly);
    if (sizes) {
        pango_layout_set_attributes(layout, sizes);
        pango_attr_list_unref(sizes);
    }
    return layout;
}

}  // namespace graphics
