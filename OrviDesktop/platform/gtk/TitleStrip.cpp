#include "platform/gtk/TitleStrip.h"

#include "platform/Window.h"
#include "platform/gtk/StyleSheet.h"

namespace orvi::gtk {

namespace {

// The buttons stay faint until the pointer comes near, so they do not
// distract from the page.
constexpr int stripHeight = 32;
constexpr const char* styleSheet = R"css(
#orvi-title-strip { background: transparent; }
#orvi-title-strip.opaque { background: @theme_bg_color; }
#orvi-title-strip button {
    min-width: 16px; min-height: 16px; padding: 3px; margin: 0;
    border-radius: 50%; border: none; box-shadow: none; background-image: none;
    background-color: rgba(0, 0, 0, 0.28); color: #ffffff; opacity: 0.45;
}
#orvi-title-strip:hover button, #orvi-title-strip button:focus { opacity: 1; }
#orvi-title-strip button:hover { background-color: rgba(0, 0, 0, 0.5); }
#orvi-title-strip label { color: @theme_fg_color; }
)css";

enum class Glyph { close, minimize, menu };

// The buttons' glyphs are drawn rather than looked up in the icon theme,
// which would cost the launch a theme scan before the page can load. They
// take the button's text colour.
gboolean drawGlyph(GtkWidget* area, cairo_t* cr, gpointer glyph)
{
    GdkRGBA color;
    gtk_style_context_get_color(
        gtk_widget_get_style_context(area), gtk_widget_get_state_flags(area), &color);
    gdk_cairo_set_source_rgba(cr, &color);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    double x = gtk_widget_get_allocated_width(area) / 2.0;
    double y = gtk_widget_get_allocated_height(area) / 2.0;
    constexpr double arm = 4;
    auto line = [cr](double x0, double y0, double x1, double y1) {
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
    };
    switch (static_cast<Glyph>(GPOINTER_TO_INT(glyph))) {
    case Glyph::close:
        line(x - arm, y - arm, x + arm, y + arm);
        line(x + arm, y - arm, x - arm, y + arm);
        break;
    case Glyph::minimize:
        line(x - arm, y + arm / 2, x + arm, y + arm / 2);
        break;
    case Glyph::menu:
        for (double dy : { -arm, 0.0, arm })
            line(x - arm, y + dy, x + arm, y + dy);
        break;
    }
    cairo_stroke(cr);
    return TRUE;
}

GtkWidget* stripButton(GtkWidget* button, Glyph glyph)
{
    GtkWidget* image = gtk_drawing_area_new();
    gtk_widget_set_size_request(image, 16, 16);
    g_signal_connect(image, "draw", G_CALLBACK(drawGlyph), GINT_TO_POINTER(int(glyph)));
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(button)))
        gtk_container_remove(GTK_CONTAINER(button), child);
    gtk_container_add(GTK_CONTAINER(button), image);
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    gtk_widget_set_can_focus(button, FALSE);
    gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
    return button;
}

GtkWidget* windowButton(Glyph glyph, GCallback clicked, gpointer data)
{
    GtkWidget* button = stripButton(gtk_button_new(), glyph);
    g_signal_connect_swapped(button, "clicked", clicked, data);
    return button;
}

// Dragging the strip moves the window, as dragging a title bar does.
gboolean beginMove(GtkWidget*, GdkEventButton* event, WindowPlacement* placement)
{
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    placement->beginMove(event);
    return TRUE;
}

} // namespace

void nameStripButton(GtkWidget* button, const std::string& name)
{
    if (!button)
        return;
    gtk_widget_set_tooltip_text(button, name.c_str());
    atk_object_set_name(gtk_widget_get_accessible(button), name.c_str());
}

TitleStrip makeTitleStrip(WindowPlacement& placement, uint32_t styleMask, GMenuModel* menu,
    const TitleStripActions& actions)
{
    addStyleSheetOnce(styleSheet);
    TitleStrip strip { gtk_event_box_new(), gtk_label_new(nullptr) };
    gtk_widget_set_name(strip.widget, "orvi-title-strip");
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(strip.widget), FALSE);
    gtk_widget_set_valign(strip.widget, GTK_ALIGN_START);
    gtk_widget_set_size_request(strip.widget, -1, stripHeight);
    gtk_widget_add_events(
        strip.widget, GDK_BUTTON_PRESS_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(strip.widget, "button-press-event", G_CALLBACK(beginMove), &placement);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_widget_set_margin_start(box, 10);
    gtk_container_add(GTK_CONTAINER(strip.widget), box);
    if (styleMask & WindowStyle::closable) {
        strip.close = windowButton(Glyph::close, actions.close, actions.data);
        gtk_box_pack_start(GTK_BOX(box), strip.close, FALSE, FALSE, 0);
    }
    if (styleMask & WindowStyle::miniaturizable) {
        strip.minimize = windowButton(Glyph::minimize, actions.minimize, actions.data);
        gtk_box_pack_start(GTK_BOX(box), strip.minimize, FALSE, FALSE, 0);
    }
    // The menu lives here, out of the page's way, rather than in a menu bar
    // that would push the page down.
    if (menu) {
        strip.menu = stripButton(gtk_menu_button_new(), Glyph::menu);
        gtk_menu_button_set_menu_model(GTK_MENU_BUTTON(strip.menu), menu);
        gtk_widget_set_name(strip.menu, "orvi-menu-button");
        gtk_box_pack_start(GTK_BOX(box), strip.menu, FALSE, FALSE, 0);
    }
    gtk_widget_set_no_show_all(strip.title, TRUE);
    gtk_box_set_center_widget(GTK_BOX(box), strip.title);
    gtk_widget_show_all(strip.widget);
    return strip;
}

} // namespace orvi::gtk
