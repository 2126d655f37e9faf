#pragma once

#include "platform/Geometry.h"

#include <cmath>

// The one place where the program's points (origin at the bottom left of the
// primary monitor, y up) meet X11's pixels (origin at the top left of the
// root window, y down). Pure arithmetic, so it is tested without a display.
namespace orvi::gtk {

struct PixelRect {
    int x { 0 };
    int y { 0 };
    int width { 0 };
    int height { 0 };
    bool operator==(const PixelRect&) const = default;
};

// `primary` is the primary monitor's geometry in root-window pixels.
inline Rect pointsFromPixels(const PixelRect& pixels, const PixelRect& primary)
{
    return Rect { double(pixels.x - primary.x),
        double(primary.y + primary.height - (pixels.y + pixels.height)), double(pixels.width),
        double(pixels.height) };
}

inline PixelRect pixelsFromPoints(const Rect& points, const PixelRect& primary)
{
    int x = int(std::lround(points.x));
    int width = int(std::lround(points.width));
    int height = int(std::lround(points.height));
    int bottom = int(std::lround(points.y));
    return PixelRect { primary.x + x, primary.y + primary.height - (bottom + height), width,
        height };
}

} // namespace orvi::gtk
