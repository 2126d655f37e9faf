#include "platform/gtk/wayland/MonitorsWayland.h"

#include <gtk-layer-shell.h>

namespace orvi::gtk {

namespace {

// Transparent, taking no input, in the background layer, and keeping nothing
// of the panels' room for itself.
GtkWidget* makeStrip(GdkMonitor* monitor, bool across)
{
    GtkWindow* strip = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_layer_init_for_window(strip);
    gtk_layer_set_namespace(strip, "ai.orvi.orvi-desktop");
    gtk_layer_set_layer(strip, GTK_LAYER_SHELL_LAYER_BACKGROUND);
    gtk_layer_set_keyboard_mode(strip, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    gtk_layer_set_exclusive_zone(strip, 0);
    gtk_layer_set_monitor(strip, monitor);
    gtk_layer_set_anchor(strip, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_anchor(strip, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(
        strip, across ? GTK_LAYER_SHELL_EDGE_RIGHT : GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    GtkWidget* widget = GTK_WIDGET(strip);
    gtk_widget_set_size_request(widget, 1, 1);
    gtk_widget_set_visual(widget, gdk_screen_get_rgba_visual(gtk_widget_get_screen(widget)));
    gtk_widget_set_app_paintable(widget, TRUE);
    g_signal_connect(widget, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        return TRUE;
    }),
        nullptr);
    g_signal_connect(widget, "realize", G_CALLBACK(+[](GtkWidget* widget, gpointer) {
        cairo_region_t* nothing = cairo_region_create();
        gtk_widget_input_shape_combine_region(widget, nothing);
        cairo_region_destroy(nothing);
    }),
        nullptr);
    return widget;
}

PixelRect pixels(const GdkRectangle& rect)
{
    return PixelRect { rect.x, rect.y, rect.width, rect.height };
}

} // namespace

MonitorsWayland::~MonitorsWayland()
{
    if (GdkDisplay* display = gdk_display_get_default()) {
        g_signal_handlers_disconnect_by_data(display, this);
        g_signal_handlers_disconnect_by_data(gdk_display_get_default_screen(display), this);
    }
    for (GtkWidget* strip : { m_across, m_down }) {
        if (strip)
            gtk_widget_destroy(strip);
    }
}

GdkMonitor* MonitorsWayland::mainMonitor()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* first = nullptr;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        if (monitor == m_main)
            return m_main;
        first = first ? first : monitor;
    }
    m_main = first;
    m_width = m_height = 0;
    for (GtkWidget* strip : { m_across, m_down }) {
        if (strip && first) {
            gtk_layer_set_monitor(GTK_WINDOW(strip), first);
            gtk_widget_show(strip);
        }
    }
    return m_main;
}

// Until the strips have been measured, the panels are taken to leave all.
MonitorLayout MonitorsWayland::read()
{
    MonitorLayout layout;
    GdkMonitor* main = mainMonitor();
    if (!main)
        return layout;
    GdkRectangle rect;
    gdk_monitor_get_geometry(main, &rect);
    PixelRect geometry = pixels(rect);
    int width = m_width > 0 ? std::min(m_width, geometry.width) : geometry.width;
    int height = m_height > 0 ? std::min(m_height, geometry.height) : geometry.height;
    layout.reference = geometry;
    layout.main = main;
    layout.monitors.push_back(MonitorArea {
        geometry, PixelRect { geometry.x, geometry.y + geometry.height - height, width, height } });
    return layout;
}

void MonitorsWayland::watch(std::function<void(bool monitors)> changed)
{
    m_changed = std::move(changed);
    GdkDisplay* display = gdk_display_get_default();
    auto monitorsChanged
        = G_CALLBACK(+[](GObject*, gpointer, MonitorsWayland* self) { self->m_changed(true); });
    g_signal_connect(display, "monitor-added", monitorsChanged, this);
    g_signal_connect(display, "monitor-removed", monitorsChanged, this);
    g_signal_connect(gdk_display_get_default_screen(display), "monitors-changed",
        G_CALLBACK(+[](GdkScreen*, MonitorsWayland* self) { self->m_changed(true); }), this);
    GdkMonitor* main = mainMonitor();
    m_across = makeStrip(main, true);
    m_down = makeStrip(main, false);
    for (GtkWidget* strip : { m_across, m_down }) {
        // The compositor closes a strip whose output has gone; it is kept,
        // and shown again on the next main output.
        g_signal_connect(strip, "delete-event",
            G_CALLBACK(+[](GtkWidget* strip, GdkEvent*, gpointer) -> gboolean {
                gtk_widget_hide(strip);
                return TRUE;
            }),
            nullptr);
        g_signal_connect(strip, "size-allocate",
            G_CALLBACK(+[](GtkWidget* strip, GtkAllocation* allocation, MonitorsWayland* self) {
                self->measured(strip, *allocation);
            }),
            this);
        gtk_widget_show(strip);
    }
}

void MonitorsWayland::measured(GtkWidget* strip, const GtkAllocation& allocation)
{
    int& length = strip == m_across ? m_width : m_height;
    int now = strip == m_across ? allocation.width : allocation.height;
    // Before the compositor has said, a strip is its own 1 pixel.
    if (now <= 1 || now == length)
        return;
    length = now;
    m_changed(false);
}

} // namespace orvi::gtk
