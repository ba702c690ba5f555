// Draws the button icons under resources/: "menu" (three bars), "undo" (an
// arrow that turns back to the left) and "delete" (a trash can), white on
// transparency, 28 × 28 points at 1×, 2× and 3×. Each sits on a dark
// 56-point disc in the overlay, so it keeps well inside that. Also the
// application's own icon, a trail of coloured dots hanging in a dark room,
// at the sizes desktops ask for (resources/icons/), and for the page's
// home-screen icons (platform/web/icons/): the same artwork filling the whole
// square, for phones that cut their own shape out of it. Run through
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

// Writes `surface` to `file` in `folder`, saying which, and lets it go.
bool writePng(cairo_surface_t* surface, const std::filesystem::path& folder,
              const std::string& file, const std::string& said) {
    cairo_status_t status = cairo_surface_write_to_png(surface, (folder / file).c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make-icons: cannot write %s: %s\n", file.c_str(),
                     cairo_status_to_string(status));
        return false;
    }
    std::printf("%s\n", said.c_str());
    return true;
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
    return writePng(surface, folder, file,
                    file + ": " + std::to_string(pixels) + " × " + std::to_string(pixels));
}

// The dark room behind the icon's drawing, lighter towards the floor, filling
// the current path between `y0` and `y1`.
void fillRoom(cairo_t* cr, double y0, double y1) {
    cairo_pattern_t* room = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(room, 0, 0.11, 0.16, 0.36);
    cairo_pattern_add_color_stop_rgb(room, 1, 0.36, 0.24, 0.62);
    cairo_set_source(cr, room);
    cairo_fill(cr);
    cairo_pattern_destroy(room);
}

void trailAndSpark(cairo_t* cr, double s);

// The application's icon on a `pixels`-square canvas: a rounded dark square,
// lighter towards the floor, with a curving trail of dots in the colours of
// the rainbow and a spark where it ends.
void appIcon(cairo_t* cr, int pixels) {
    const double s = pixels;
    const double r = s * 0.22, inset = s * 0.04;
    const double x0 = inset, y0 = inset, x1 = s - inset, y1 = s - inset;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - r, y0 + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, M_PI / 2);
    cairo_arc(cr, x0 + r, y1 - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + r, y0 + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    fillRoom(cr, y0, y1);
    trailAndSpark(cr, s);
}

// The same drawing on a room that fills the whole square, for phones that
// round the corners or cut a circle themselves: the drawing is shrunk by
// `drawingScale` about the centre, so that a maskable icon keeps it inside
// the circle of 40 % of the side that every mask leaves.
void fullBleedAppIcon(cairo_t* cr, int pixels, double drawingScale) {
    const double s = pixels;
    cairo_rectangle(cr, 0, 0, s, s);
    fillRoom(cr, 0, s);
    cairo_translate(cr, s / 2, s / 2);
    cairo_scale(cr, drawingScale, drawingScale);
    cairo_translate(cr, -s / 2, -s / 2);
    trailAndSpark(cr, s);
}

void trailAndSpark(
    cairo_t* cr,
    double s) {  // The trail: from the lower left up to the right, growing as it nears.
    const double colours[][3] = {{0.96, 0.26, 0.21}, {1.0, 0.6, 0.0},    {1.0, 0.92, 0.23},
                                 {0.3, 0.69, 0.31},  {0.13, 0.59, 0.95}, {0.61, 0.15, 0.69}};
    const int dots = 6;
    for (int i = 0; i < dots; ++i) {
        double t = i / double(dots - 1);
        double x = s * (0.22 + 0.5 * t);
        double y = s * (0.72 - 0.42 * t + 0.18 * std::sin(t * M_PI));
        double radius = s * (0.045 + 0.035 * t);
        cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
        cairo_set_source_rgb(cr, colours[i][0], colours[i][1], colours[i][2]);
        cairo_fill(cr);
    }
    // A four-pointed spark beyond the last dot.
    const double cx = s * 0.8, cy = s * 0.22, arm = s * 0.11, waist = s * 0.025;
    cairo_move_to(cr, cx, cy - arm);
    cairo_line_to(cr, cx + waist, cy - waist);
    cairo_line_to(cr, cx + arm, cy);
    cairo_line_to(cr, cx + waist, cy + waist);
    cairo_line_to(cr, cx, cy + arm);
    cairo_line_to(cr, cx - waist, cy + waist);
    cairo_line_to(cr, cx - arm, cy);
    cairo_line_to(cr, cx - waist, cy - waist);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
}

bool writeAppIcon(const std::filesystem::path& folder, int pixels) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    appIcon(cr, pixels);
    cairo_destroy(cr);
    std::string file = "scrawlet-" + std::to_string(pixels) + ".png";
    return writePng(surface, folder, file, file);
}

// An opaque icon (a home screen shows no transparency), filling the square.
bool writeFullBleedIcon(const std::filesystem::path& folder, const std::string& file, int pixels,
                        double drawingScale) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    fullBleedAppIcon(cr, pixels, drawingScale);
    cairo_destroy(cr);
    return writePng(surface, folder, file, file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RESOURCES-FOLDER PAGE-ICONS-FOLDER\n", argv[0]);
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
    std::filesystem::create_directories(folder / "icons");
    for (int pixels : {16, 24, 32, 48, 64, 128, 256, 512})
        ok = writeAppIcon(folder / "icons", pixels) && ok;
    // The page's icons for home screens beside the desktop's 512-pixel one:
    // the 192-pixel one of the same kind, a maskable one that Android's
    // launchers cut their shape from, and iOS's own 180-pixel one, whose
    // corners it rounds itself.
    std::filesystem::path page = argv[2];
    std::filesystem::create_directories(page);
    ok = writeFullBleedIcon(page, "scrawlet-maskable-512.png", 512, 0.8) && ok;
    ok = writeAppIcon(page, 192) && ok;
    ok = writeFullBleedIcon(page, "apple-touch-icon.png", 180, 0.9) && ok;
    return ok ? 0 : 1;
}
