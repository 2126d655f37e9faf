#include "platform/gtk/ScreenGtk.h"

#include <gdk/gdk.h>

namespace orvi::gtk {

namespace {

GdkMonitor* primaryMonitor()
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return nullptr;
    if (GdkMonitor* monitor = gdk_display_get_primary_monitor(display))
        return monitor;
    return gdk_display_get_n_monitors(display) > 0 ? gdk_display_get_monitor(display, 0) : nullptr;
}

} // namespace

std::optional<PixelRect> ScreenGtk::primaryMonitorGeometry()
{
    GdkMonitor* monitor = primaryMonitor();
    if (!monitor)
        return std::nullopt;
    GdkRectangle geometry;
    gdk_monitor_get_geometry(monitor, &geometry);
    return PixelRect { geometry.x, geometry.y, geometry.width, geometry.height };
}

// X11 sends no notice when panels change the work area, so it is read anew
// every time.
std::optional<PixelRect> ScreenGtk::primaryMonitorWorkarea()
{
    GdkMonitor* monitor = primaryMonitor();
    if (!monitor)
        return std::nullopt;
    GdkRectangle workarea;
    gdk_monitor_get_workarea(monitor, &workarea);
    return PixelRect { workarea.x, workarea.y, workarea.width, workarea.height };
}

std::optional<Rect> ScreenGtk::mainScreenVisibleFrame() const
{
    auto geometry = primaryMonitorGeometry();
    auto workarea = primaryMonitorWorkarea();
    if (!geometry || !workarea)
        return std::nullopt;
    return pointsFromPixels(*workarea, *geometry);
}

} // namespace orvi::gtk
