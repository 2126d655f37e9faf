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

std::optional<PixelRect> primaryMonitorRect(void (*read)(GdkMonitor*, GdkRectangle*))
{
    GdkMonitor* monitor = primaryMonitor();
    if (!monitor)
        return std::nullopt;
    GdkRectangle rect;
    read(monitor, &rect);
    return PixelRect { rect.x, rect.y, rect.width, rect.height };
}

} // namespace

std::optional<PixelRect> ScreenGtk::primaryMonitorGeometry()
{
    return primaryMonitorRect(gdk_monitor_get_geometry);
}

// X11 sends no notice when panels change the work area, so it is read anew
// every time.
std::optional<PixelRect> ScreenGtk::primaryMonitorWorkarea()
{
    return primaryMonitorRect(gdk_monitor_get_workarea);
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
