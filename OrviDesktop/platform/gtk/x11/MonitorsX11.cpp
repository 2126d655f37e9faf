#include "platform/gtk/x11/MonitorsX11.h"

#include <X11/extensions/Xrandr.h>
#include <cstring>
#include <gdk/gdkx.h>

namespace orvi::gtk {

namespace {

PixelRect pixels(const GdkRectangle& rect)
{
    return PixelRect { rect.x, rect.y, rect.width, rect.height };
}

// RandR's first event number on the display, or -1 without RandR.
int randrEventBase(GdkDisplay* display)
{
    int eventBase, errorBase;
    if (!GDK_IS_X11_DISPLAY(display)
        || !XRRQueryExtension(gdk_x11_display_get_xdisplay(display), &eventBase, &errorBase))
        return -1;
    return eventBase;
}

// With every output off, GDK stands in a monitor the size of the screen;
// RandR says there is none.
bool everyOutputOff(GdkDisplay* display)
{
    if (!GDK_IS_X11_DISPLAY(display))
        return false;
    Display* xDisplay = gdk_x11_display_get_xdisplay(display);
    int eventBase, errorBase, major = 0, minor = 0;
    if (!XRRQueryExtension(xDisplay, &eventBase, &errorBase)
        || !XRRQueryVersion(xDisplay, &major, &minor) || major * 100 + minor < 105)
        return false;
    int count = -1;
    gdk_x11_display_error_trap_push(display);
    XRRMonitorInfo* monitors = XRRGetMonitors(xDisplay, DefaultRootWindow(xDisplay), True, &count);
    gdk_x11_display_error_trap_pop_ignored(display);
    if (monitors)
        XRRFreeMonitors(monitors);
    return count == 0;
}

} // namespace

MonitorsX11::~MonitorsX11()
{
    if (!m_changed)
        return;
    if (GdkDisplay* display = gdk_display_get_default()) {
        g_signal_handlers_disconnect_by_data(gdk_display_get_default_screen(display), this);
        gdk_window_remove_filter(gdk_get_default_root_window(), GdkFilterFunc(rootEvent), this);
    }
}

GdkMonitor* MonitorsX11::mainMonitor()
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return nullptr;
    GdkMonitor* primary = gdk_display_get_primary_monitor(display);
    if (!primary && gdk_display_get_n_monitors(display) > 0)
        primary = gdk_display_get_monitor(display, 0);
    return primary;
}

MonitorLayout MonitorsX11::read()
{
    MonitorLayout layout;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* primary = mainMonitor();
    if (!primary)
        return layout;
    GdkRectangle rect;
    gdk_monitor_get_geometry(primary, &rect);
    layout.reference = pixels(rect);
    layout.main = primary;
    if (everyOutputOff(display))
        return layout;
    for (int i = -1; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = i < 0 ? primary : gdk_display_get_monitor(display, i);
        if (i >= 0 && monitor == primary)
            continue;
        MonitorArea seen;
        gdk_monitor_get_geometry(monitor, &rect);
        seen.geometry = pixels(rect);
        gdk_monitor_get_workarea(monitor, &rect);
        seen.workarea = pixels(rect);
        layout.monitors.push_back(seen);
    }
    return layout;
}

// GDK has no signal for the work area: the root window's properties say.
// Nor does it signal every RandR change at once, and the window manager
// moves windows about meanwhile: RandR's own events on the root window
// start a change too.
void MonitorsX11::watch(std::function<void(bool monitors)> changed)
{
    m_changed = std::move(changed);
    GdkDisplay* display = gdk_display_get_default();
    auto monitorsChanged
        = G_CALLBACK(+[](GdkScreen*, MonitorsX11* self) { self->m_changed(true); });
    GdkScreen* screen = gdk_display_get_default_screen(display);
    g_signal_connect(screen, "monitors-changed", monitorsChanged, this);
    g_signal_connect(screen, "size-changed", monitorsChanged, this);
    m_randrEventBase = randrEventBase(display);
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_set_events(
        root, GdkEventMask(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, GdkFilterFunc(rootEvent), this);
}

GdkFilterReturn MonitorsX11::rootEvent(GdkXEvent* xevent, GdkEvent*, MonitorsX11* self)
{
    auto* event = static_cast<XEvent*>(xevent);
    int randr = self->m_randrEventBase;
    if (randr >= 0
        && (event->type == randr + RRScreenChangeNotify || event->type == randr + RRNotify))
        self->m_changed(true);
    if (event->type != PropertyNotify)
        return GDK_FILTER_CONTINUE;
    const char* name = gdk_x11_get_xatom_name_for_display(
        gdk_x11_lookup_xdisplay(event->xproperty.display), event->xproperty.atom);
    // Each desktop has its work area.
    if (name
        && (!std::strcmp(name, "_NET_WORKAREA") || !std::strcmp(name, "_NET_CURRENT_DESKTOP")
            || g_str_has_prefix(name, "_GTK_WORKAREAS_D")))
        self->m_changed(false);
    return GDK_FILTER_CONTINUE;
}

} // namespace orvi::gtk
