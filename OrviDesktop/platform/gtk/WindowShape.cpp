#include "platform/gtk/WindowShape.h"

#include <algorithm>

namespace orvi::gtk {

// GTK loses a shape given before the window's children are realized, so it
// is given again whenever the window comes on screen.
WindowShape::WindowShape(GtkWidget* window)
    : m_window(GTK_WIDGET(g_object_ref(window)))
{
    g_signal_connect_data(window, "map",
        G_CALLBACK(+[](GtkWidget*, WindowShape* self) { self->apply(); }), this, nullptr,
        G_CONNECT_AFTER);
}

WindowShape::~WindowShape()
{
    g_signal_handlers_disconnect_by_data(m_window, this);
    g_object_unref(m_window);
    if (m_outline)
        cairo_region_destroy(m_outline);
}

void WindowShape::setOutline(double radius, int width, int height)
{
    if (m_outline)
        cairo_region_destroy(m_outline);
    m_outline = nullptr;
    if (radius > 0) {
        width = std::max(1, width);
        height = std::max(1, height);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
        cairo_t* cr = cairo_create(mask);
        double r = std::min({ radius, width / 2.0, height / 2.0 });
        cairo_new_sub_path(cr);
        cairo_arc(cr, width - r, r, r, -G_PI / 2, 0);
        cairo_arc(cr, width - r, height - r, r, 0, G_PI / 2);
        cairo_arc(cr, r, height - r, r, G_PI / 2, G_PI);
        cairo_arc(cr, r, r, r, G_PI, 3 * G_PI / 2);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_destroy(cr);
        m_outline = gdk_cairo_region_create_from_surface(mask);
        cairo_surface_destroy(mask);
    }
    apply();
}

void WindowShape::setClickThrough(bool clickThrough)
{
    m_clickThrough = clickThrough;
    apply();
}

// An empty input shape lets every click through to whatever lies beneath.
void WindowShape::apply()
{
    bool composited = gdk_screen_is_composited(gtk_widget_get_screen(m_window));
    gtk_widget_shape_combine_region(m_window, composited ? nullptr : m_outline);
    cairo_region_t* nothing = m_clickThrough ? cairo_region_create() : nullptr;
    gtk_widget_input_shape_combine_region(m_window, m_clickThrough ? nothing : m_outline);
    if (nothing)
        cairo_region_destroy(nothing);
}

} // namespace orvi::gtk
