// Draws the button icons under resources/: "menu" (three bars), "undo" (an
// arrow that turns back to the left) and "delete" (a trash can), white on
// transparency, 28 × 28 points at 1×, 2× and 3×. Each sits on a dark
// 56-point disc in the overlay, so it keeps well inside that. Run through
// scripts/make-icons; the output is committed.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr double side = 28;  // points
constexpr double lineWidth = 2.5;

void bars(cairo_t* cr) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (double y : {8.0, 14.0, 20.0}) {
        cairo_move_to(cr, 6, y);
        cairo_line_to(cr, 22, y);
    }
    cairo_stroke(cr);
}

void undoArrow(cairo_t* cr) {
    // A shaft that leaves the arrowhead to the right, turns down and back
    // round a half circle, and ends pointing the way it came.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 10, 10);
    cairo_line_to(cr, 16, 10);
    cairo_arc(cr, 16, 15.5, 5.5, -M_PI / 2, M_PI / 2);
    cairo_line_to(cr, 9, 21);
    cairo_stroke(cr);
    // The arrowhead, pointing left.
    cairo_move_to(cr, 5, 10);
    cairo_line_to(cr, 11, 5);
    cairo_line_to(cr, 11, 15);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void trashCan(cairo_t* cr) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 2);
    // The lid and its handle.
    cairo_move_to(cr, 6, 8);
    cairo_line_to(cr, 22, 8);
    cairo_stroke(cr);
    cairo_move_to(cr, 11, 8);
    cairo_line_to(cr, 11.5, 5);
    cairo_line_to(cr, 16.5, 5);
    cairo_line_to(cr, 17, 8);
    cairo_stroke(cr);
    // The can, narrowing a little towards its foot, with three ribs.
    cairo_move_to(cr, 8, 10.5);
    cairo_line_to(cr, 9, 23);
    cairo_line_to(cr, 19, 23);
    cairo_line_to(cr, 20, 10.5);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.5);
    for (double x : {11.5, 14.0, 16.5}) {
        cairo_move_to(cr, x, 12.5);
        cairo_line_to(cr, x, 20.5);
    }
    cairo_stroke(cr);
}

bool writeIcon(const std::filesystem::path& folder, const std::string& name, int scale,
               const std::function<void(cairo_t*)>& draw) {
    int pixels = static_cast<int>(side) * scale;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    // The shapes are drawn on a 28-point grid and then enlarged a little
    // about the centre, to fill the disc better.
    cairo_translate(cr, side / 2, side / 2);
    cairo_scale(cr, 1.1, 1.1);
    cairo_translate(cr, -side / 2, -side / 2);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_set_line_width(cr, lineWidth);
    draw(cr);
    cairo_destroy(cr);
    std::string file = name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
    cairo_status_t status = cairo_surface_write_to_png(surface, (folder / file).c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make-icons: cannot write %s: %s\n", file.c_str(),
                     cairo_status_to_string(status));
        return false;
    }
    std::printf("%s: %d × %d\n", file.c_str(), pixels, pixels);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    bool ok = true;
    for (int scale : {1, 2, 3}) {
        ok = writeIcon(folder, "menu", scale, bars) && ok;
        ok = writeIcon(folder, "undo", scale, undoArrow) && ok;
        ok = writeIcon(folder, "delete", scale, trashCan) && ok;
    }
    return ok ? 0 : 1;
}
