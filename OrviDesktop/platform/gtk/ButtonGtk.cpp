#include "platform/gtk/ButtonGtk.h"

#include <cmath>
#include <sstream>

namespace orvi::gtk {

namespace {

std::string css(const Color& color)
{
    std::ostringstream text;
    text << "rgba(" << std::lround(color.red * 255) << "," << std::lround(color.green * 255) << ","
         << std::lround(color.blue * 255) << "," << color.alpha << ")";
    return text.str();
}

int cssWeight(FontWeight weight)
{
    switch (weight) {
    case FontWeight::regular:
        return 400;
    case FontWeight::medium:
        return 500;
    case FontWeight::semibold:
        return 600;
    case FontWeight::bold:
        return 700;
    case FontWeight::heavy:
        return 800;
    case FontWeight::black:
        return 900;
    }
    return 400;
}

} // namespace

ButtonGtk::ButtonGtk(ScreenGtk& screen, const Rect& frame)
    : m_screen(screen)
    , m_box(gtk_event_box_new())
    , m_label(gtk_label_new(nullptr))
    , m_style(gtk_css_provider_new())
{
    g_object_ref_sink(m_box);
    gtk_widget_set_name(m_box, "orvi-button");
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(m_box), FALSE);
    gtk_widget_set_size_request(
        m_box, int(std::lround(frame.width)), int(std::lround(frame.height)));
    gtk_widget_add_events(m_box,
        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK
            | GDK_KEY_PRESS_MASK);
    gtk_widget_set_can_focus(m_box, TRUE);

    gtk_label_set_justify(GTK_LABEL(m_label), GTK_JUSTIFY_CENTER);
    gtk_widget_set_halign(m_label, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(m_label, GTK_ALIGN_CENTER);
    gtk_container_add(GTK_CONTAINER(m_box), m_label);
    gtk_widget_show(m_label);

    gtk_style_context_add_provider(gtk_widget_get_style_context(m_box), GTK_STYLE_PROVIDER(m_style),
        GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_style_context_add_provider(gtk_widget_get_style_context(m_label),
        GTK_STYLE_PROVIDER(m_style), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

    // An event box without a window of its own draws nothing; the fill and
    // border come from its style, drawn here under the title.
    g_signal_connect(m_box, "draw",
        G_CALLBACK(+[](GtkWidget* widget, cairo_t* cr, gpointer) -> gboolean {
            GtkStyleContext* style = gtk_widget_get_style_context(widget);
            int width = gtk_widget_get_allocated_width(widget);
            int height = gtk_widget_get_allocated_height(widget);
            gtk_render_background(style, cr, 0, 0, width, height);
            gtk_render_frame(style, cr, 0, 0, width, height);
            return FALSE;
        }),
        nullptr);
    g_signal_connect(m_box, "button-press-event", G_CALLBACK(buttonPress), this);
    g_signal_connect(m_box, "motion-notify-event", G_CALLBACK(motionNotify), this);
    g_signal_connect(m_box, "button-release-event", G_CALLBACK(buttonRelease), this);
    g_signal_connect(m_box, "key-press-event", G_CALLBACK(keyPress), this);
    // The only thing in its window that takes keys.
    g_signal_connect(m_box, "map", G_CALLBACK(gtk_widget_grab_focus), nullptr);
}

ButtonGtk::~ButtonGtk()
{
    g_signal_handlers_disconnect_by_data(m_box, this);
    g_object_unref(m_style);
    g_object_unref(m_box);
}

void ButtonGtk::setTitle(const std::string& title)
{
    gtk_label_set_text(GTK_LABEL(m_label), title.c_str());
}

void ButtonGtk::setFont(const Font& font)
{
    m_font = font;
    updateStyle();
}

void ButtonGtk::setContentTintColor(const Color& color)
{
    m_tint = color;
    updateStyle();
}

void ButtonGtk::setBordered(bool bordered)
{
    m_bordered = bordered;
    updateStyle();
}

void ButtonGtk::setLayerBackgroundColor(const Color& color)
{
    m_fill = color;
    updateStyle();
}

void ButtonGtk::setLayerCornerRadius(double radius)
{
    m_cornerRadius = radius;
    updateStyle();
}

void ButtonGtk::setLayerBorderWidth(double width)
{
    m_borderWidth = width;
    updateStyle();
}

void ButtonGtk::setLayerBorderColor(const Color& color)
{
    m_borderColor = color;
    updateStyle();
}

void ButtonGtk::setToolTip(const std::string& text)
{
    gtk_widget_set_tooltip_text(m_box, text.c_str());
}

// One point is one pixel at scale 1, so sizes go to CSS as pixels.
void ButtonGtk::updateStyle()
{
    std::ostringstream box;
    box << "#orvi-button {";
    if (m_fill)
        box << " background-color: " << css(*m_fill) << "; background-image: none;";
    box << " border-radius: " << m_cornerRadius << "px;";
    if (m_borderWidth > 0 && m_borderColor)
        box << " border: " << m_borderWidth << "px solid " << css(*m_borderColor) << ";";
    else if (m_bordered)
        box << " border: 1px solid @borders;";
    else
        box << " border: none;";
    box << " }";
    box << " #orvi-button label { font-size: " << m_font.size
        << "px; font-weight: " << cssWeight(m_font.weight) << ";";
    if (m_tint)
        box << " color: " << css(*m_tint) << ";";
    box << " }";
    gtk_css_provider_load_from_data(m_style, box.str().c_str(), -1, nullptr);
}

Point ButtonGtk::pointInScreen(double xRoot, double yRoot) const
{
    auto at = m_screen.pointsFromPixels(
        PixelRect { int(std::lround(xRoot)), int(std::lround(yRoot)), 0, 0 });
    return at ? Point { at->x, at->y } : Point {};
}

gboolean ButtonGtk::buttonPress(GtkWidget*, GdkEventButton* event, ButtonGtk* self)
{
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
        return TRUE;
    self->m_pressed = true;
    self->m_pressLocation = self->pointInScreen(event->x_root, event->y_root);
    if (self->m_handler)
        self->m_handler->mouseDown(MouseEvent {
            self->m_pressLocation, self->m_pressLocation, event->button, event->time });
    return TRUE;
}

gboolean ButtonGtk::motionNotify(GtkWidget*, GdkEventMotion* event, ButtonGtk* self)
{
    if (!self->m_pressed || !(event->state & GDK_BUTTON1_MASK))
        return TRUE;
    if (self->m_handler)
        self->m_handler->mouseDragged(
            MouseEvent { self->pointInScreen(event->x_root, event->y_root), self->m_pressLocation,
                GDK_BUTTON_PRIMARY, event->time });
    return TRUE;
}

gboolean ButtonGtk::buttonRelease(GtkWidget*, GdkEventButton* event, ButtonGtk* self)
{
    if (event->button != GDK_BUTTON_PRIMARY || !self->m_pressed)
        return TRUE;
    self->m_pressed = false;
    if (self->m_handler)
        self->m_handler->mouseUp(MouseEvent { self->pointInScreen(event->x_root, event->y_root),
            self->m_pressLocation, event->button, event->time });
    return TRUE;
}

// Shortcuts with a modifier are the application's.
gboolean ButtonGtk::keyPress(GtkWidget*, GdkEventKey* event, ButtonGtk* self)
{
    if (event->state & gtk_accelerator_get_default_mod_mask())
        return FALSE;
    switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
        if (self->m_handler)
            self->m_handler->keyboardPress();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace orvi::gtk
