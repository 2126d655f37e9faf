#include "platform/gtk/ScreenGtk.h"

#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <cstring>
#include <gdk/gdkx.h>
#include <utility>

namespace orvi::gtk {

namespace {

// Long enough for a burst of RandR events and the window manager's new work
// area after them; short enough not to be noticed.
constexpr guint settleMilliseconds = 300;

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

ScreenGtk::ScreenGtk() = default;

ScreenGtk::~ScreenGtk()
{
    if (m_settle)
        g_source_remove(m_settle);
    if (!m_layout)
        return;
    if (GdkDisplay* display = gdk_display_get_default()) {
        g_signal_handlers_disconnect_by_data(display, this);
        g_signal_handlers_disconnect_by_data(gdk_display_get_default_screen(display), this);
        gdk_window_remove_filter(gdk_get_default_root_window(), GdkFilterFunc(rootEvent), this);
    }
}

ScreenGtk::Layout ScreenGtk::read()
{
    Layout layout;
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return layout;
    GdkMonitor* primary = gdk_display_get_primary_monitor(display);
    if (!primary && gdk_display_get_n_monitors(display) > 0)
        primary = gdk_display_get_monitor(display, 0);
    if (!primary)
        return layout;
    GdkRectangle rect;
    gdk_monitor_get_geometry(primary, &rect);
    layout.reference = pixels(rect);
    if (everyOutputOff(display))
        return layout;
    for (int i = -1; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = i < 0 ? primary : gdk_display_get_monitor(display, i);
        if (i >= 0 && monitor == primary)
            continue;
        Monitor seen;
        gdk_monitor_get_geometry(monitor, &rect);
        seen.geometry = pixels(rect);
        gdk_monitor_get_workarea(monitor, &rect);
        seen.workarea = pixels(rect);
        layout.monitors.push_back(seen);
    }
    return layout;
}

// Read on first use, once there is a display, and watched from then on.
const ScreenGtk::Layout& ScreenGtk::layout() const
{
    static const Layout none;
    GdkDisplay* display = gdk_display_get_default();
    if (m_layout || !display)
        return m_layout ? *m_layout : none;
    m_layout = read();
    auto* self = const_cast<ScreenGtk*>(this);
    auto monitorsChanged
        = G_CALLBACK(+[](GdkScreen*, ScreenGtk* screen) { screen->changed(true); });
    GdkScreen* screen = gdk_display_get_default_screen(display);
    g_signal_connect(screen, "monitors-changed", monitorsChanged, self);
    g_signal_connect(screen, "size-changed", monitorsChanged, self);
    // GDK has no signal for the work area: the root window's properties say.
    // Nor does it signal every RandR change at once, and the window manager
    // moves windows about meanwhile: RandR's own events on the root window
    // start a change too.
    self->m_randrEventBase = randrEventBase(display);
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_set_events(
        root, GdkEventMask(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, GdkFilterFunc(rootEvent), self);
    return *m_layout;
}

GdkFilterReturn ScreenGtk::rootEvent(GdkXEvent* xevent, GdkEvent*, ScreenGtk* self)
{
    auto* event = static_cast<XEvent*>(xevent);
    int randr = self->m_randrEventBase;
    if (randr >= 0
        && (event->type == randr + RRScreenChangeNotify || event->type == randr + RRNotify))
        self->changed(true);
    if (event->type != PropertyNotify)
        return GDK_FILTER_CONTINUE;
    const char* name = gdk_x11_get_xatom_name_for_display(
        gdk_x11_lookup_xdisplay(event->xproperty.display), event->xproperty.atom);
    // Each desktop has its work area.
    if (name
        && (!std::strcmp(name, "_NET_WORKAREA") || !std::strcmp(name, "_NET_CURRENT_DESKTOP")
            || g_str_has_prefix(name, "_GTK_WORKAREAS_D")))
        self->changed(false);
    return GDK_FILTER_CONTINUE;
}

void ScreenGtk::changed(bool monitors)
{
    m_monitorsChanged |= monitors;
    if (m_settle)
        g_source_remove(m_settle);
    m_settle = g_timeout_add(settleMilliseconds, G_SOURCE_FUNC(settled), this);
}

// A work area set again as it was changes nothing; monitors that changed may
// have had the window manager move windows about, so the program hears of
// them even when they are back as they were.
gboolean ScreenGtk::settled(ScreenGtk* self)
{
    self->m_settle = 0;
    Layout now = read();
    if (now.monitors.empty() && self->m_layout && self->m_layout->reference)
        now.reference = self->m_layout->reference;
    bool news = std::exchange(self->m_monitorsChanged, false) || now != self->m_layout;
    self->m_layout = now;
    if (!news)
        return G_SOURCE_REMOVE;
    for (DisplayObserver* observer : std::vector(self->m_observers))
        observer->displayDidChange();
    if (self->m_delegate)
        self->m_delegate->screenParametersDidChange();
    return G_SOURCE_REMOVE;
}

void ScreenGtk::addObserver(DisplayObserver* observer)
{
    m_observers.push_back(observer);
}

void ScreenGtk::removeObserver(DisplayObserver* observer)
{
    std::erase(m_observers, observer);
}

std::optional<PixelRect> ScreenGtk::pixelsFromPoints(const Rect& points) const
{
    const Layout& now = layout();
    return now.reference ? std::optional(gtk::pixelsFromPoints(points, *now.reference))
                         : std::nullopt;
}

std::optional<Rect> ScreenGtk::pointsFromPixels(const PixelRect& rect) const
{
    const Layout& now = layout();
    return now.reference ? std::optional(gtk::pointsFromPixels(rect, *now.reference))
                         : std::nullopt;
}

std::optional<PixelRect> ScreenGtk::primaryWorkarea() const
{
    const Layout& now = layout();
    return now.monitors.empty() ? std::nullopt : std::optional(now.monitors.front().workarea);
}

std::optional<Rect> ScreenGtk::mainScreenVisibleFrame() const
{
    auto workarea = primaryWorkarea();
    return workarea ? pointsFromPixels(*workarea) : std::nullopt;
}

std::vector<ScreenArea> ScreenGtk::screens() const
{
    std::vector<ScreenArea> areas;
    const Layout& now = layout();
    for (const Monitor& monitor : now.monitors)
        areas.push_back(ScreenArea { gtk::pointsFromPixels(monitor.geometry, *now.reference),
            gtk::pointsFromPixels(monitor.workarea, *now.reference) });
    return areas;
}

} // namespace orvi::gtk
