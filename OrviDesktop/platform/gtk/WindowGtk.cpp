#include "platform/gtk/WindowGtk.h"

#include "platform/MouseEvent.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/ViewGtk.h"

#include <algorithm>
#include <cmath>
#include <gdk/gdkx.h>

namespace orvi::gtk {

namespace {

// The strip stands where a title bar would be, over the content. Its buttons
// stay faint until the pointer comes near, so they do not distract from the
// page.
constexpr int titleStripHeight = 32;
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
window.orvi-clear, window.orvi-clear > overlay { background-color: transparent; background-image: none; }
)css";

void installStyleSheetOnce()
{
    static bool installed = false;
    GdkScreen* screen = gdk_screen_get_default();
    if (installed || !screen)
        return;
    installed = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, styleSheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        screen, GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

GtkWidget* titleButton(
    const char* iconName, const char* tooltip, GCallback clicked, GtkWindow* window)
{
    GtkWidget* button = gtk_button_new_from_icon_name(iconName, GTK_ICON_SIZE_MENU);
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    gtk_widget_set_tooltip_text(button, tooltip);
    gtk_widget_set_can_focus(button, FALSE);
    gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
    g_signal_connect_swapped(button, "clicked", clicked, window);
    return button;
}

bool sizeBelow(const Rect& frame, Size minimum)
{
    return frame.width < minimum.width || frame.height < minimum.height;
}

} // namespace

WindowGtk::WindowGtk(
    GtkApplication* application, GMenuModel* menu, const Rect& contentRect, uint32_t styleMask)
{
    installStyleSheetOnce();
    m_window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    g_object_ref(m_window);
    if (application)
        gtk_window_set_application(m_window, application);

    if (styleMask & WindowStyle::nonactivatingPanel) {
        gtk_window_set_type_hint(m_window, GDK_WINDOW_TYPE_HINT_UTILITY);
        gtk_window_set_decorated(m_window, FALSE);
        gtk_window_set_resizable(m_window, FALSE);
        gtk_window_set_accept_focus(m_window, FALSE);
        gtk_window_set_focus_on_map(m_window, FALSE);
        gtk_window_set_skip_taskbar_hint(m_window, TRUE);
        gtk_window_set_skip_pager_hint(m_window, TRUE);
    } else {
        gtk_window_set_decorated(m_window,
            (styleMask & WindowStyle::titled) && !(styleMask & WindowStyle::fullSizeContentView));
        gtk_window_set_resizable(m_window, (styleMask & WindowStyle::resizable) != 0);
    }

    m_overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_overlay);
    gtk_widget_show(m_overlay);
    if ((styleMask & WindowStyle::titled) && (styleMask & WindowStyle::fullSizeContentView))
        buildTitleStrip(styleMask, menu);

    gtk_widget_add_events(GTK_WIDGET(m_window), GDK_BUTTON_PRESS_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(deleteEvent), this);
    g_signal_connect(m_window, "window-state-event", G_CALLBACK(windowStateEvent), this);
    g_signal_connect(m_window, "configure-event", G_CALLBACK(configureEvent), this);
    g_signal_connect(m_window, "button-press-event", G_CALLBACK(buttonPressEvent), this);

    gtk_window_set_default_size(m_window, std::max(1, int(std::lround(contentRect.width))),
        std::max(1, int(std::lround(contentRect.height))));
    m_frame = contentRect;
    if (auto primary = ScreenGtk::primaryMonitorGeometry()) {
        PixelRect pixels = pixelsFromPoints(contentRect, *primary);
        gtk_window_move(m_window, pixels.x, pixels.y);
    }
}

WindowGtk::~WindowGtk()
{
    if (m_shape)
        cairo_region_destroy(m_shape);
    g_signal_handlers_disconnect_by_data(m_window, this);
    gtk_widget_destroy(GTK_WIDGET(m_window));
    g_object_unref(m_window);
}

void WindowGtk::buildTitleStrip(uint32_t styleMask, GMenuModel* menu)
{
    m_titleStrip = gtk_event_box_new();
    gtk_widget_set_name(m_titleStrip, "orvi-title-strip");
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(m_titleStrip), FALSE);
    gtk_widget_set_valign(m_titleStrip, GTK_ALIGN_START);
    gtk_widget_set_size_request(m_titleStrip, -1, titleStripHeight);
    gtk_widget_add_events(
        m_titleStrip, GDK_BUTTON_PRESS_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_widget_set_margin_start(box, 10);
    gtk_container_add(GTK_CONTAINER(m_titleStrip), box);
    if (styleMask & WindowStyle::closable)
        gtk_box_pack_start(GTK_BOX(box),
            titleButton("window-close-symbolic", "Close", G_CALLBACK(gtk_window_close), m_window),
            FALSE, FALSE, 0);
    if (styleMask & WindowStyle::miniaturizable)
        gtk_box_pack_start(GTK_BOX(box),
            titleButton(
                "window-minimize-symbolic", "Minimize", G_CALLBACK(gtk_window_iconify), m_window),
            FALSE, FALSE, 0);
    // The menu lives here, out of the page's way, rather than in a menu bar
    // that would push the page down.
    if (menu) {
        GtkWidget* button = gtk_menu_button_new();
        gtk_menu_button_set_menu_model(GTK_MENU_BUTTON(button), menu);
        gtk_button_set_image(GTK_BUTTON(button),
            gtk_image_new_from_icon_name("open-menu-symbolic", GTK_ICON_SIZE_MENU));
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        gtk_widget_set_tooltip_text(button, "Menu");
        gtk_widget_set_can_focus(button, FALSE);
        gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
        gtk_widget_set_name(button, "orvi-menu-button");
        gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    }
    m_titleLabel = gtk_label_new(nullptr);
    gtk_widget_set_no_show_all(m_titleLabel, TRUE);
    gtk_box_set_center_widget(GTK_BOX(box), m_titleLabel);

    // Dragging the strip moves the window, as dragging a title bar does.
    g_signal_connect(m_titleStrip, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, GtkWindow* window) -> gboolean {
            if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
                return FALSE;
            gtk_window_begin_move_drag(
                window, int(event->button), int(event->x_root), int(event->y_root), event->time);
            return TRUE;
        }),
        m_window);

    gtk_overlay_add_overlay(GTK_OVERLAY(m_overlay), m_titleStrip);
    gtk_widget_show_all(m_titleStrip);
}

void WindowGtk::setContentView(View& view)
{
    auto* content = dynamic_cast<ViewGtk*>(&view);
    if (!content)
        return;
    if (m_content)
        gtk_container_remove(GTK_CONTAINER(m_overlay), m_content);
    m_contentView = content;
    m_content = content->widget();
    gtk_container_add(GTK_CONTAINER(m_overlay), m_content);
    gtk_widget_show(m_content);
    applyContentShape();
}

// A window with a clear background shows only its content, so a rounded
// content gives the window its outline: clicks outside it go through, and
// without a compositing manager (no transparency) the outline also cuts the
// window itself.
void WindowGtk::applyContentShape()
{
    if (m_shape) {
        cairo_region_destroy(m_shape);
        m_shape = nullptr;
    }
    double radius = m_contentView ? m_contentView->cornerRadius() : 0;
    if (m_opaque || !m_backgroundClear || radius <= 0) {
        gtk_widget_shape_combine_region(GTK_WIDGET(m_window), nullptr);
        applyInputShape();
        return;
    }
    int width = 0, height = 0;
    gtk_widget_get_size_request(m_content, &width, &height);
    cairo_surface_t* mask
        = cairo_image_surface_create(CAIRO_FORMAT_A1, std::max(1, width), std::max(1, height));
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
    m_shape = gdk_cairo_region_create_from_surface(mask);
    cairo_surface_destroy(mask);

    bool composited = gdk_screen_is_composited(gtk_widget_get_screen(GTK_WIDGET(m_window)));
    gtk_widget_shape_combine_region(GTK_WIDGET(m_window), composited ? nullptr : m_shape);
    applyInputShape();
}

void WindowGtk::setTitle(const std::string& title)
{
    gtk_window_set_title(m_window, title.c_str());
    if (m_titleLabel)
        gtk_label_set_text(GTK_LABEL(m_titleLabel), title.c_str());
}

void WindowGtk::setTitleHidden(bool hidden)
{
    if (m_titleLabel)
        gtk_widget_set_visible(m_titleLabel, !hidden);
}

void WindowGtk::setTitlebarAppearsTransparent(bool transparent)
{
    if (!m_titleStrip)
        return;
    GtkStyleContext* style = gtk_widget_get_style_context(m_titleStrip);
    if (transparent)
        gtk_style_context_remove_class(style, "opaque");
    else
        gtk_style_context_add_class(style, "opaque");
}

void WindowGtk::setMinSize(Size minimum)
{
    m_minSize = minimum;
    applyMinimumSize(m_frame);
}

// The user may not make the window smaller than its minimum, but the program
// may: below the minimum the hint is lifted, and it comes back only with a
// frame that satisfies it (set after the frame, or GTK would grow the window).
void WindowGtk::applyMinimumSize(const Rect& target)
{
    if (m_minSize && !sizeBelow(target, *m_minSize)) {
        GdkGeometry geometry {};
        geometry.min_width = int(std::lround(m_minSize->width));
        geometry.min_height = int(std::lround(m_minSize->height));
        gtk_window_set_geometry_hints(m_window, nullptr, &geometry, GDK_HINT_MIN_SIZE);
        m_minSizeApplied = true;
    } else if (m_minSizeApplied) {
        gtk_window_set_geometry_hints(m_window, nullptr, nullptr, GdkWindowHints(0));
        m_minSizeApplied = false;
    }
}

// Puts the minimum back once the window really has a size that satisfies it.
void WindowGtk::settleMinimumSize(const Rect& actual)
{
    if (!m_minSizeWaiting || !m_minSize || sizeBelow(actual, *m_minSize))
        return;
    m_minSizeWaiting = false;
    applyMinimumSize(actual);
}

void WindowGtk::setLevel(WindowLevel level)
{
    gtk_window_set_keep_above(m_window, level == WindowLevel::floating);
}

void WindowGtk::setCollectionBehavior(uint32_t behavior)
{
    // X11 has no place beside full-screen windows to join; only "every
    // workspace" has a meaning here.
    if (behavior & CollectionBehavior::canJoinAllSpaces)
        gtk_window_stick(m_window);
    else
        gtk_window_unstick(m_window);
}

// X11 windows never hide when another application becomes active, so only the
// behaviour the program asks for (staying visible) exists here.
void WindowGtk::setHidesOnDeactivate(bool) { }

// A see-through window needs an RGBA visual, which only a compositing manager
// shows; without one, the window's shape is what hides its corners.
void WindowGtk::setOpaque(bool opaque)
{
    m_opaque = opaque;
    GtkWidget* widget = GTK_WIDGET(m_window);
    GdkScreen* screen = gtk_widget_get_screen(widget);
    GdkVisual* visual = !opaque && gdk_screen_is_composited(screen)
        ? gdk_screen_get_rgba_visual(screen)
        : nullptr;
    if (!gtk_widget_get_realized(widget))
        gtk_widget_set_visual(widget, visual);
    gtk_widget_set_app_paintable(widget, !opaque);
    applyContentShape();
}

void WindowGtk::setBackgroundClear(bool clear)
{
    GtkStyleContext* style = gtk_widget_get_style_context(GTK_WIDGET(m_window));
    if (clear)
        gtk_style_context_add_class(style, "orvi-clear");
    else
        gtk_style_context_remove_class(style, "orvi-clear");
    m_backgroundClear = clear;
    applyContentShape();
}

// On X11 the compositing manager draws window shadows; there is nothing to ask
// for.
void WindowGtk::setHasShadow(bool) { }

void WindowGtk::setFrame(const Rect& frame)
{
    m_frame = frame;
    auto primary = ScreenGtk::primaryMonitorGeometry();
    if (!primary)
        return;
    PixelRect pixels = pixelsFromPoints(frame, *primary);
    m_requestedFrame = frame;
    m_movedAgain = false;
    m_configureRounds = 0;

    bool shrinking = m_minSize && sizeBelow(frame, *m_minSize);
    if (shrinking)
        applyMinimumSize(frame);
    gtk_window_move(m_window, pixels.x, pixels.y);
    gtk_window_resize(m_window, std::max(1, pixels.width), std::max(1, pixels.height));
    // The minimum comes back only once the window has its new size: GTK
    // works out a size again from the window's current one whenever a
    // configure event arrives, and the window manager may stretch a small
    // window to the minimum first; either way it would stop there instead of
    // growing to the frame asked for.
    m_minSizeWaiting = !shrinking && !m_minSizeApplied;
}

void WindowGtk::center()
{
    gtk_window_set_position(m_window, GTK_WIN_POS_CENTER);
    auto geometry = ScreenGtk::primaryMonitorGeometry();
    if (!geometry)
        return;
    m_frame.x = std::round((geometry->width - m_frame.width) / 2);
    m_frame.y = std::round((geometry->height - m_frame.height) / 2);
}

void WindowGtk::setAlphaValue(double alpha)
{
    gtk_widget_set_opacity(GTK_WIDGET(m_window), alpha);
}

void WindowGtk::setIgnoresMouseEvents(bool ignores)
{
    m_ignoresMouseEvents = ignores;
    applyInputShape();
}

// An empty input shape lets every click through to whatever lies beneath;
// no shape at all takes clicks again.
void WindowGtk::applyInputShape()
{
    if (m_ignoresMouseEvents) {
        cairo_region_t* nothing = cairo_region_create();
        gtk_widget_input_shape_combine_region(GTK_WIDGET(m_window), nothing);
        cairo_region_destroy(nothing);
    } else {
        gtk_widget_input_shape_combine_region(GTK_WIDGET(m_window), m_shape);
    }
}

// GTK may map a window that was hidden back at the place it was first given;
// it comes back where it was last seen (for the bubble: where the user left
// it).
void WindowGtk::restorePositionIfHidden()
{
    if (gtk_widget_get_visible(GTK_WIDGET(m_window)))
        return;
    if (auto primary = ScreenGtk::primaryMonitorGeometry()) {
        PixelRect pixels = pixelsFromPoints(m_frame, *primary);
        gtk_window_move(m_window, pixels.x, pixels.y);
    }
}

void WindowGtk::orderFrontRegardless()
{
    restorePositionIfHidden();
    gtk_widget_show(GTK_WIDGET(m_window));
    if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window)))
        gdk_window_raise(window);
}

void WindowGtk::makeKeyAndOrderFront()
{
    restorePositionIfHidden();
    gtk_widget_show(GTK_WIDGET(m_window));
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window));
    gtk_window_present_with_time(m_window,
        window && GDK_IS_X11_WINDOW(window) ? gdk_x11_get_server_time(window) : GDK_CURRENT_TIME);
}

void WindowGtk::orderOut()
{
    gtk_widget_hide(GTK_WIDGET(m_window));
}

void WindowGtk::deminiaturize()
{
    gtk_window_deiconify(m_window);
}

// Window managers start a move from wherever the pointer is when they get the
// request, so the way the pointer went since the press is made up first: the
// window follows the pointer from the press on.
void WindowGtk::performWindowDrag(const MouseEvent& event)
{
    auto primary = ScreenGtk::primaryMonitorGeometry();
    if (!primary)
        return;
    auto pixel = [&](Point point) {
        return pixelsFromPoints(Rect { point.x, point.y, 0, 0 }, *primary);
    };
    PixelRect pointer = pixel(event.locationInScreen);
    PixelRect press = pixel(event.pressLocationInScreen);
    if (pointer.x != press.x || pointer.y != press.y) {
        int x = 0, y = 0;
        gtk_window_get_position(m_window, &x, &y);
        gtk_window_move(m_window, x + pointer.x - press.x, y + pointer.y - press.y);
    }
    gtk_window_begin_move_drag(m_window, int(event.button), pointer.x, pointer.y, event.timestamp);
}

gboolean WindowGtk::deleteEvent(GtkWidget*, GdkEvent*, WindowGtk* self)
{
    // The window is never destroyed behind the program's back: a close that
    // the delegate allows only takes it off the screen.
    if (!self->m_delegate || self->m_delegate->windowShouldClose())
        self->orderOut();
    return TRUE;
}

gboolean WindowGtk::windowStateEvent(GtkWidget*, GdkEventWindowState* event, WindowGtk* self)
{
    if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED))
        return FALSE;
    bool iconified = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
    bool justMinimized = iconified && !self->m_iconified;
    self->m_iconified = iconified;
    if (justMinimized && self->m_delegate)
        self->m_delegate->windowDidMiniaturize();
    return FALSE;
}

// Follows where the window really is. A frame the program asked for counts
// until the window system has applied it; a window manager that placed the
// window before applying its new size gets the move once more.
gboolean WindowGtk::configureEvent(GtkWidget*, GdkEventConfigure* event, WindowGtk* self)
{
    auto primary = ScreenGtk::primaryMonitorGeometry();
    if (!primary)
        return FALSE;
    Rect actual
        = pointsFromPixels(PixelRect { event->x, event->y, event->width, event->height }, *primary);
    self->settleMinimumSize(actual);
    if (self->m_requestedFrame) {
        const Rect& requested = *self->m_requestedFrame;
        if (actual == requested) {
            self->m_requestedFrame.reset();
            return FALSE;
        }
        ++self->m_configureRounds;
        if (!self->m_movedAgain && actual.width == requested.width
            && actual.height == requested.height) {
            self->m_movedAgain = true;
            PixelRect pixels = pixelsFromPoints(requested, *primary);
            gtk_window_move(self->m_window, pixels.x, pixels.y);
            return FALSE;
        }
        // Still settling (the window manager may first report the old size a
        // few times, more so when it maps the window again); after a few
        // rounds its own choice stands.
        if (!self->m_movedAgain && self->m_configureRounds < 8)
            return FALSE;
        self->m_requestedFrame.reset();
    }
    self->m_frame = actual;
    return FALSE;
}

gboolean WindowGtk::buttonPressEvent(GtkWidget*, GdkEventButton* event, WindowGtk* self)
{
    if (!self->m_movableByBackground || event->type != GDK_BUTTON_PRESS
        || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    gtk_window_begin_move_drag(
        self->m_window, int(event->button), int(event->x_root), int(event->y_root), event->time);
    return TRUE;
}

} // namespace orvi::gtk
