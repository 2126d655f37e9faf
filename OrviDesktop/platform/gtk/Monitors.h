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
    // The main monitor when read, to tell a new one; only compared, since it
    // may have gone by the time it is looked at.
    GdkMonitor* main { nullptr };
    bool operator==(const MonitorLayout&) const = default;
};

// The monitors as one display server has them, and what tells of their
// changes (x11/MonitorsX11.h, wayland/MonitorsWayland.h). Main thread only.
class Monitors {
public:
    virtual ~Monitors() = default;
    virtual MonitorLayout read() = 0;
    // The main monitor as it is now, where a layout read a moment ago may name
    // one that has gone; null while there is none.
    virtual GdkMonitor* mainMonitor() = 0;
    // From now on `changed` hears of each change, with whether the monitors
    // themselves changed (or only what panels leave of them).
    virtual void watch(std::function<void(bool monitors)> changed) = 0;
};

} // namespace orvi::gtk
