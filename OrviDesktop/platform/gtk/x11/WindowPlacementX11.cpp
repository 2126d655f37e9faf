#include "platform/gtk/x11/WindowPlacementX11.h"

#include "platform/gtk/DisplayServer.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvi::gtk {

namespace {

// How long the window manager may stay silent before a window that is not
// where it was asked to be is asked again.
constexpr guint quietMilliseconds = 50;
// How long after the last movement, with no button held, a move is over.
constexpr guint moveOverMilliseconds = 150;

} // namespace

WindowPlacementX11::WindowPlacementX11(
    GtkWindow* window, ScreenGtk& screen, const Rect& frame, std::function<void()> moved)
    : m_window(GTK_WINDOW(g_object_ref(window)))
    , m_screen(screen)
    , m_moved(std::move(moved))
    , m_frame(frame)
{
    gtk_window_set_default_size(window, std::max(1, int(std::lround(frame.width))),
        std::max(1, int(std::lround(frame.height))));
    if (auto pixels = screen.pixelsFromPoints(frame)) {
        m_pixels = *pixels;
        gtk_window_move(window, pixels->x, pixels->y);
    }
    gtk_widget_add_events(GTK_WIDGET(window), GDK_STRUCTURE_MASK);
    g_signal_connect(window, "configure-event", G_CALLBACK(configured), this);
    screen.addObserver(this);
}

WindowPlacementX11::~WindowPlacementX11()
{
    m_screen.removeObserver(this);
    for (guint source : { m_quietCheck, m_moveCheck }) {
        if (source)
            g_source_remove(source);
    }
    g_signal_handlers_disconnect_by_data(m_window, this);
    g_object_unref(m_window);
}

void WindowPlacementX11::setMinSize(Size minimum)
{
    m_minSize = minimum;
    applyMinimumSize(fitsMinimum(m_frame));
}

bool WindowPlacementX11::fitsMinimum(const Rect& frame) const
{
    return !m_minSize || (frame.width >= m_minSize->width && frame.height >= m_minSize->height);
}

// The user may not make the window smaller than its minimum, but the program
// may: for a smaller frame the minimum is lifted, and it comes back only once
// the window has reached a frame that satisfies it (GTK would otherwise grow
// the window to it there and then). The window manager hears of it at once, so
// that it holds no stale minimum against a request that follows.
void WindowPlacementX11::applyMinimumSize(bool applied)
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

// A shown window that is already there is not asked again: without a window
// manager X would not answer, and the request would stay open.
void WindowPlacementX11::setFrame(const Rect& frame)
{
    m_frame = frame;
    auto pixels = m_screen.pixelsFromPoints(frame);
    if (!pixels)
        return;
    m_pixels = *pixels;
    if (m_moveCheck) {
        g_source_remove(m_moveCheck);
        m_moveCheck = 0;
    }
    if (!fitsMinimum(frame))
        applyMinimumSize(false);
    if (m_settling.isAt(*pixels) && gtk_widget_get_mapped(GTK_WIDGET(m_window))) {
        applyMinimumSize(fitsMinimum(frame));
        return;
    }
    m_settling.request(*pixels);
    askFor(*pixels);
}

void WindowPlacementX11::askFor(const PixelRect& frame)
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

void WindowPlacementX11::center()
{
    gtk_window_set_position(m_window, GTK_WIN_POS_CENTER);
    auto primary = m_screen.primaryGeometry();
    if (!primary)
        return;
    m_frame.x = std::round((primary->width - m_frame.width) / 2);
    m_frame.y = std::round((primary->height - m_frame.height) / 2);
    if (auto pixels = m_screen.pixelsFromPoints(m_frame))
        m_pixels = *pixels;
}

void WindowPlacementX11::restorePositionIfHidden()
{
    if (gtk_widget_get_visible(GTK_WIDGET(m_window)))
        return;
    if (auto pixels = m_screen.pixelsFromPoints(m_frame))
        gtk_window_move(m_window, pixels->x, pixels->y);
}

// Window managers start a move from wherever the pointer is when they get the
// request, so the way the pointer went since the press is made up first: the
// window follows the pointer from the press on.
void WindowPlacementX11::drag(const MouseEvent& event)
{
    auto pointer = m_screen.pixelsFromPoints(
        Rect { event.locationInScreen.x, event.locationInScreen.y, 0, 0 });
    auto press = m_screen.pixelsFromPoints(
        Rect { event.pressLocationInScreen.x, event.pressLocationInScreen.y, 0, 0 });
    if (!pointer || !press)
        return;
    if (pointer->x != press->x || pointer->y != press->y) {
        int x = 0, y = 0;
        gtk_window_get_position(m_window, &x, &y);
        gtk_window_move(m_window, x + pointer->x - press->x, y + pointer->y - press->y);
    }
    gtk_window_begin_move_drag(
        m_window, int(event.button), pointer->x, pointer->y, event.timestamp);
}

void WindowPlacementX11::beginMove(const GdkEventButton* event)
{
    gtk_window_begin_move_drag(
        m_window, int(event->button), int(event->x_root), int(event->y_root), event->time);
}

void WindowPlacementX11::beginResize(GdkWindowEdge edge, const GdkEventButton* event)
{
    gtk_window_begin_resize_drag(
        m_window, edge, int(event->button), int(event->x_root), int(event->y_root), event->time);
}

void WindowPlacementX11::setFloating(bool floating)
{
    gtk_window_set_keep_above(m_window, floating);
}

void WindowPlacementX11::setAcceptsKeyboard(bool accepts)
{
    gtk_window_set_accept_focus(m_window, accepts);
    if (!accepts && gtk_window_has_toplevel_focus(m_window))
        giveUpKeyboard();
}

void WindowPlacementX11::giveUpKeyboard()
{
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window));
    if (!window)
        return;
    Display* display = GDK_WINDOW_XDISPLAY(window);
    XSetInputFocus(display, PointerRoot, RevertToPointerRoot, gdk_x11_get_server_time(window));
    XFlush(display);
}

void WindowPlacementX11::present()
{
    DisplayServer::current().present(m_window);
}

bool WindowPlacementX11::canMinimize() const
{
    return gdk_x11_screen_supports_net_wm_hint(gtk_widget_get_screen(GTK_WIDGET(m_window)),
        gdk_atom_intern_static_string("_NET_WM_STATE_HIDDEN"));
}

void WindowPlacementX11::displayDidChange()
{
    if (auto points = m_screen.pointsFromPixels(m_pixels))
        m_frame = *points;
}

void WindowPlacementX11::settleAt(const PixelRect& pixels)
{
    if (auto points = m_screen.pointsFromPixels(pixels)) {
        m_pixels = pixels;
        m_frame = *points;
    }
}

// Every frame the window manager reports is held against the newest request;
// a report with nothing asked is the user (or the window manager) moving the
// window.
gboolean WindowPlacementX11::configured(
    GtkWidget*, GdkEventConfigure* event, WindowPlacementX11* self)
{
    PixelRect reported { event->x, event->y, event->width, event->height };
    switch (self->m_settling.reported(reported)) {
    case FrameSettling::Report::reached:
        self->applyMinimumSize(self->fitsMinimum(self->m_frame));
        break;
    case FrameSettling::Report::moved:
        if (self->m_screen.changing() || reported == self->m_pixels)
            break;
        self->settleAt(reported);
        if (self->m_moveCheck)
            g_source_remove(self->m_moveCheck);
        self->m_moveCheck = g_timeout_add(moveOverMilliseconds, G_SOURCE_FUNC(moveOver), self);
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

gboolean WindowPlacementX11::quiet(WindowPlacementX11* self)
{
    self->m_quietCheck = 0;
    switch (self->m_settling.quiet()) {
    case FrameSettling::Quiet::askAgain:
        self->askFor(*self->m_settling.target());
        break;
    case FrameSettling::Quiet::giveUp:
        // Not while the screens change: the program places the window anew.
        if (!self->m_screen.changing())
            self->settleAt(self->m_settling.lastReported());
        break;
    case FrameSettling::Quiet::nothing:
        break;
    }
    return G_SOURCE_REMOVE;
}

// A move goes on while a button is held: the user may pause mid-drag. Once
// it is let go, the window manager is given a moment to end its move before
// the window is moved again; and while the screens change, the program hears
// of them first.
gboolean WindowPlacementX11::moveOver(WindowPlacementX11* self)
{
    if (self->m_screen.changing())
        return G_SOURCE_CONTINUE;
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(self->m_window));
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    auto held = GdkModifierType(0);
    if (pointer)
        gdk_device_get_state(pointer, gdk_get_default_root_window(), nullptr, &held);
    bool wasHeld = std::exchange(
        self->m_buttonHeld, held & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK));
    if (self->m_buttonHeld || wasHeld)
        return G_SOURCE_CONTINUE;
    self->m_moveCheck = 0;
    if (self->m_moved)
        self->m_moved();
    return G_SOURCE_REMOVE;
}

} // namespace orvi::gtk
