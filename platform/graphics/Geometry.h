// Points, sizes, rectangles and edge insets in screen points, double
// precision, as the application framework measures them.
#pragma once

namespace graphics {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;
    double width() const { return size.width; }
    double height() const { return size.height; }
    double right() const { return origin.x + size.width; }
    double bottom() const { return origin.y + size.height; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    // Whether `point` lies inside; the right and bottom edges are outside,
    // so that rectangles side by side share no point.
    bool contains(Point point) const {
        return point.x >= origin.x && point.x < right() && point.y >= origin.y &&
               point.y < bottom();
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

inline double rectGetWidth(const Rect& rect) { return rect.size.width; }
inline double rectGetHeight(const Rect& rect) { return rect.size.height; }

}  // namespace graphics
