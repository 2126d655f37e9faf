#pragma once

#include "platform/gtk/Coordinates.h"

#include <functional>
#include <gtk/gtk.h>
#include <optional>
#include <vector>

namespace orvi::gtk {

// One monitor in the display server's pixels: all of it, and what panels
// leave of it.
struct MonitorArea {
    PixelRect geometry;
    PixelRect workarea;
    bool operator==(const MonitorArea&) const = default;
};

struct MonitorLayout {
    // The main monitor's geometry: the origin of the program's points.
    std::optional<PixelRect> reference;
    // The main monitor first; none while every output is off.
    std::vector<MonitorArea> monitors;
    // The main monitor itself, while there is one.
    GdkMonitor* main { nullptr };
    bool operator==(const MonitorLayout&) const = default;
};

// The monitors as one display server has them, and what tells of their
// changes (x11/MonitorsX11.h, wayland/MonitorsWayland.h). Main thread only.
class Monitors {
public:
    virtual ~Monitors() = default;
    virtual MonitorLayout read() = 0;
    // From now on `changed` hears of each change, with whether the monitors
    // themselves changed (or only what panels leave of them).
    virtual void watch(std::function<void(bool monitors)> changed) = 0;
};

} // namespace orvi::gtk
