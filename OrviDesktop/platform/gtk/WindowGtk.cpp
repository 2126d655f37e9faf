#include "platform/gtk/WindowGtk.h"

#include "platform/MouseEvent.h"
#include "platform/gtk/ResizeEdges.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/StyleSheet.h"
#include "platform/gtk/TitleStrip.h"

#include <algorithm>
#include <cmath>
#include <gdk/gdkx.h>

namespace orvi::gtk {

namespace {

// How long the window manager may stay silent before a window that is not
// where it was asked to be is asked again.
constexpr guint quietMilliseconds = 50;

// A window that is not opaque shows what lies behind it.
constexpr char clearStyleSheet[] = "window.orvi-clear, window.orvi-clear > overlay "
                                   "{ background-color: transparent; background-image: none; }";

bool sizeBelow(const Rect& frame, Size minimum)
{
    return frame.width < minimum.width || frame.height < minimum.height;
}

} // namespace

WindowGtk::WindowGtk(
    GtkApplication* application, GMenuModel* menu, const Rect& contentRect, uint32_t styleMask)
    : m_window(GTK_WINDOW(g_object_ref(gtk_window_new(GTK_WINDOW_TOPLEVEL))))
    , m_styleMask(styleMask)
    , m_shape(GTK_WIDGET(m_window))
{
    addStyleSheetOnce(clearStyleSheet);
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
    if ((styleMask & WindowStyle::titled) && (styleMask & WindowStyle::fullSizeContentView)) {
        TitleStrip strip = makeTitleStrip(m_window, styleMask, menu);
        m_titleStrip = strip.widget;
        m_titleLabel = strip.title;
        gtk_overlay_add_overlay(GTK_OVERLAY(m_overlay), m_titleStrip);
        if (styleMask & WindowStyle::resizable)
            addResizeEdges(GTK_OVERLAY(m_overlay));
    }

    gtk_widget_add_events(GTK_WIDGET(m_window), GDK_BUTTON_PRESS_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(deleteEvent), this);
    g_signal_connect(m_window, "window-state-event", G_CALLBACK(windowStateEvent), this);
    g_signal_connect(m_window, "configure-event", G_CALLBACK(configureEvent), this);
    g_signal_connect(m_window, "button-press-event", G_CALLBACK(buttonPressEvent), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(keyEvent), this);
    g_signal_connect(m_window, "key-release-event", G_CALLBACK(keyEvent), this);

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
    if (m_quietCheck)
        g_source_remove(m_quietCheck);
    g_signal_handlers_disconnect_by_data(m_window, this);
    gtk_widget_destroy(GTK_WIDGET(m_window));
    g_object_unref(m_window);
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
    updateOutline();
}

// A window that shows only its content takes a rounded content's outline.
void WindowGtk::updateOutline()
{
    int width = 0, height = 0;
    if (m_content)
        gtk_widget_get_size_request(m_content, &width, &height);
    bool onlyContent = !m_opaque && m_backgroundClear && m_contentView;
    m_shape.setOutline(onlyContent ? m_contentView->cornerRadius() : 0, width, height);
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
    applyMinimumSize(!sizeBelow(m_frame, minimum));
}

// The user may not make the window smaller than its minimum, but the program
// may: for a smaller frame the minimum is lifted, and it comes back only once
// the window has reached a frame that satisfies it (GTK would otherwise grow
// the window to it there and then). The window manager hears of it at once, so
// that it holds no stale minimum against a request that follows.
void WindowGtk::applyMinimumSize(bool applied)
{
    if (!m_minSize || applied == m_minSizeApplied)
        return;
    m_minSizeApplied = applied;
    GdkGeometry geometry {};
    geometry.min_width = int(std::lround(m_minSize->width));
    geometry.min_height = int(std::lround(m_minSize->height));
    auto hints = applied ? GDK_HINT_MIN_SIZE : GdkWindowHints(0);
    gtk_window_set_geometry_hints(m_window, nullptr, &geometry, hints);
    if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window)))
        gdk_window_set_geometry_hints(window, &geometry, hints);
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
    updateOutline();
}

void WindowGtk::setBackgroundClear(bool clear)
{
    GtkStyleContext* style = gtk_widget_get_style_context(GTK_WIDGET(m_window));
    if (clear)
        gtk_style_context_add_class(style, "orvi-clear");
    else
        gtk_style_context_remove_class(style, "orvi-clear");
    m_backgroundClear = clear;
    updateOutline();
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
    if (m_minSize && sizeBelow(frame, *m_minSize))
        applyMinimumSize(false);
    PixelRect pixels = pixelsFromPoints(frame, *primary);
    m_settling.request(pixels);
    askFor(pixels);
}

void WindowGtk::askFor(const PixelRect& frame)
{
    int width = std::max(1, frame.width);
    int height = std::max(1, frame.height);
    gtk_window_move(m_window, frame.x, frame.y);
    gtk_window_resize(m_window, width, height);
    // GTK sends its own request only when it next lays the window out, and
    // none for a size it believes the window has already; a shown window asks
    // the window manager at once, in one request.
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window));
    if (window && gtk_widget_get_mapped(GTK_WIDGET(m_window))) {
        gdk_window_move_resize(window, frame.x, frame.y, width, height);
        gdk_display_flush(gdk_window_get_display(window));
    }
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
    m_shape.setClickThrough(ignores);
}

// The window manager is told the window takes no input, and the focus it has
// goes to whatever window is under the pointer, from where the window
// manager gives it to the window it finds fit: never back to this one.
void WindowGtk::setIgnoresKeyboardEvents(bool ignores)
{
    m_ignoresKeyboard = ignores;
    gtk_window_set_accept_focus(m_window, !ignores);
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window));
    if (!ignores || !window || !GDK_IS_X11_WINDOW(window)
        || !gtk_window_has_toplevel_focus(m_window))
        return;
    Display* display = GDK_WINDOW_XDISPLAY(window);
    XSetInputFocus(display, PointerRoot, RevertToPointerRoot, gdk_x11_get_server_time(window));
    XFlush(display);
}

gboolean WindowGtk::keyEvent(GtkWidget*, GdkEvent*, WindowGtk* self)
{
    return self->m_ignoresKeyboard;
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

// A window without a close button (the bubble) cannot be closed from outside
// either. Otherwise the window is never destroyed behind the program's back:
// a close that the delegate allows only takes it off the screen.
gboolean WindowGtk::deleteEvent(GtkWidget*, GdkEvent*, WindowGtk* self)
{
    if (!(self->m_styleMask & WindowStyle::closable))
        return TRUE;
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

// Every frame the window manager reports is held against the newest request;
// a report with nothing asked is the user (or the window manager) moving the
// window.
gboolean WindowGtk::configureEvent(GtkWidget*, GdkEventConfigure* event, WindowGtk* self)
{
    auto primary = ScreenGtk::primaryMonitorGeometry();
    if (!primary)
        return FALSE;
    PixelRect reported { event->x, event->y, event->width, event->height };
    switch (self->m_settling.reported(reported)) {
    case FrameSettling::Report::reached:
        self->applyMinimumSize(!self->m_minSize || !sizeBelow(self->m_frame, *self->m_minSize));
        break;
    case FrameSettling::Report::moved:
        self->m_frame = pointsFromPixels(reported, *primary);
        break;
    case FrameSettling::Report::settling:
        break;
    }
    if (self->m_quietCheck)
        g_source_remove(self->m_quietCheck);
    self->m_quietCheck = self->m_settling.target()
        ? g_timeout_add(quietMilliseconds, G_SOURCE_FUNC(quiet), self)
        : 0;
    return FALSE;
}

gboolean WindowGtk::quiet(WindowGtk* self)
{
    self->m_quietCheck = 0;
    switch (self->m_settling.quiet()) {
    case FrameSettling::Quiet::askAgain:
        self->askFor(*self->m_settling.target());
        break;
    case FrameSettling::Quiet::giveUp:
        if (auto primary = ScreenGtk::primaryMonitorGeometry())
            self->m_frame = pointsFromPixels(self->m_settling.lastReported(), *primary);
        break;
    case FrameSettling::Quiet::nothing:
        break;
    }
    return G_SOURCE_REMOVE;
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
