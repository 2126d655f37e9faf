#include "platform/gtk/ResizeEdges.h"

namespace orvi::gtk {

namespace {

constexpr int thickness = 6;

struct Edge {
    GdkWindowEdge edge;
    const char* cursor;
    GtkAlign across, down;
};

// Corners last, so that they lie over the ends of the edges.
constexpr Edge edges[] = {
    { GDK_WINDOW_EDGE_NORTH, "n-resize", GTK_ALIGN_FILL, GTK_ALIGN_START },
    { GDK_WINDOW_EDGE_SOUTH, "s-resize", GTK_ALIGN_FILL, GTK_ALIGN_END },
    { GDK_WINDOW_EDGE_WEST, "w-resize", GTK_ALIGN_START, GTK_ALIGN_FILL },
    { GDK_WINDOW_EDGE_EAST, "e-resize", GTK_ALIGN_END, GTK_ALIGN_FILL },
    { GDK_WINDOW_EDGE_NORTH_WEST, "nw-resize", GTK_ALIGN_START, GTK_ALIGN_START },
    { GDK_WINDOW_EDGE_NORTH_EAST, "ne-resize", GTK_ALIGN_END, GTK_ALIGN_START },
    { GDK_WINDOW_EDGE_SOUTH_WEST, "sw-resize", GTK_ALIGN_START, GTK_ALIGN_END },
    { GDK_WINDOW_EDGE_SOUTH_EAST, "se-resize", GTK_ALIGN_END, GTK_ALIGN_END },
};

// The strip takes no window of its own to draw in, only one for input, which
// shows its window's cursor: the window gets the strip's cursor while the
// pointer is over the strip.
gboolean crossed(GtkWidget* strip, GdkEventCrossing* event, const Edge* edge)
{
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(strip));
    GdkCursor* cursor = event->type == GDK_ENTER_NOTIFY
        ? gdk_cursor_new_from_name(gdk_window_get_display(window), edge->cursor)
        : nullptr;
    gdk_window_set_cursor(window, cursor);
    if (cursor)
        g_object_unref(cursor);
    return FALSE;
}

gboolean pressed(GtkWidget* strip, GdkEventButton* event, const Edge* edge)
{
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    static_cast<WindowPlacement*>(g_object_get_data(G_OBJECT(strip), "orvi-placement"))
        ->beginResize(edge->edge, event);
    return TRUE;
}

} // namespace

void addResizeEdges(GtkOverlay* overlay, WindowPlacement& placement)
{
    for (const Edge& edge : edges) {
        GtkWidget* strip = gtk_event_box_new();
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(strip), FALSE);
        gtk_event_box_set_above_child(GTK_EVENT_BOX(strip), TRUE);
        gtk_widget_set_halign(strip, edge.across);
        gtk_widget_set_valign(strip, edge.down);
        // Corners reach a little further, so that they are easy to find.
        int side = edge.across == GTK_ALIGN_FILL || edge.down == GTK_ALIGN_FILL ? thickness
                                                                                : 2 * thickness;
        gtk_widget_set_size_request(strip, edge.across == GTK_ALIGN_FILL ? -1 : side,
            edge.down == GTK_ALIGN_FILL ? -1 : side);
        gtk_widget_add_events(
            strip, GDK_BUTTON_PRESS_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
        g_signal_connect(strip, "enter-notify-event", G_CALLBACK(crossed), (gpointer)&edge);
        g_signal_connect(strip, "leave-notify-event", G_CALLBACK(crossed), (gpointer)&edge);
        g_object_set_data(G_OBJECT(strip), "orvi-placement", &placement);
        g_signal_connect(strip, "button-press-event", G_CALLBACK(pressed), (gpointer)&edge);
        gtk_overlay_add_overlay(overlay, strip);
        gtk_widget_show(strip);
    }
}

} // namespace orvi::gtk
