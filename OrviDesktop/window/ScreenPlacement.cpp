#include "window/ScreenPlacement.h"

#include <algorithm>
#include <cmath>

namespace orvi {

namespace {

// Moves `frame` (shrunk where it must) into `area`; a frame wider or taller
// than the area starts at its left or bottom edge.
Rect inside(const Rect& frame, const Rect& area)
{
    double width = std::min(frame.width, area.width);
    double height = std::min(frame.height, area.height);
    return Rect { std::max(area.minX(), std::min(frame.x, area.maxX() - width)),
        std::max(area.minY(), std::min(frame.y, area.maxY() - height)), width, height };
}

bool contains(const Rect& area, const Rect& frame)
{
    return frame.minX() >= area.minX() && frame.minY() >= area.minY() && frame.maxX() <= area.maxX()
        && frame.maxY() <= area.maxY();
}

double overlap(const Rect& a, const Rect& b)
{
    double width = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    double height = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return width > 0 && height > 0 ? width * height : 0;
}

} // namespace

Rect expandedFrameIn(const std::optional<Rect>& own, const Rect& visible, Size smallest)
{
    if (!own || visible.width < smallest.width || visible.height < smallest.height)
        return visible;
    return inside(*own, visible);
}

Rect bubbleFrameIn(const Rect& bubble, const std::vector<ScreenArea>& screens, const Rect& home)
{
    if (std::any_of(screens.begin(), screens.end(),
            [&](const ScreenArea& screen) { return contains(screen.visibleFrame, bubble); }))
        return bubble;
    const ScreenArea* holder = nullptr;
    double most = 0;
    for (const ScreenArea& screen : screens) {
        if (double shared = overlap(screen.frame, bubble); shared > most) {
            most = shared;
            holder = &screen;
        }
    }
    return holder ? inside(bubble, holder->visibleFrame) : home;
}

bool sameFrame(const Rect& a, const Rect& b)
{
    return std::abs(a.x - b.x) < 1 && std::abs(a.y - b.y) < 1 && std::abs(a.width - b.width) < 1
        && std::abs(a.height - b.height) < 1;
}

} // namespace orvi
