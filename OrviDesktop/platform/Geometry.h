#pragma once

namespace orvi {

// Screen geometry in points, origin at the bottom left of the primary screen,
// y growing upwards. At scale 1 one point is one pixel.
struct Point {
    double x { 0 };
    double y { 0 };
    bool operator==(const Point&) const = default;
};

struct Size {
    double width { 0 };
    double height { 0 };
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x { 0 };
    double y { 0 };
    double width { 0 };
    double height { 0 };

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

} // namespace orvi
