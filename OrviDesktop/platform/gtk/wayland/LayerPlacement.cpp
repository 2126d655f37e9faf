#include "platform/gtk/wayland/LayerPlacement.h"

#include <algorithm>
#include <cmath>

namespace orvi::gtk {

namespace {

// How often a drag looks whether the button is still held.
constexpr guint letGoMilliseconds = 50;
// How long a presented window waits for the keyboard before it settles for
// on demand.
constexpr guint keyboardMilliseconds = 500;

bool sameFrame(const Rect& a, const Rect& b)
{
    return std::abs(a.x - b.x) < 0.5 && std::abs(a.y - b.y) < 0.5
        && std::abs(a.width - b.width) < 0.5 && std::abs(a.height - b.height) < 0.5;
}

} // namespace

LayerPlacement::LayerPlacement(GtkWindow* window, ScreenGtk& screen, RelativePointer& pointer,
    const Rect& frame, std::function<void()> moved)
    : m_window(GTK_WINDOW(g_object_ref(window)))
    , m_screen(screen)
    , m_pointer(pointer)
    , m_moved(std::move(moved))
    , m_frame(frame)
{
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "ai.orvi.orvi-desktop");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_TOP);
    gtk_layer_set_exclusive_zone(window, 0);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    gtk_widget_add_events(GTK_WIDGET(window), GDK_FOCUS_CHANGE_MASK);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(focused), this);
    // Before the window's own handler, which takes a close for the user's.
    g_signal_connect(window, "delete-event", G_CALLBACK(closedByCompositor), this);
    // Hidden by the program, it stays so whatever the compositor did before.
    g_signal_connect(window, "hide",
        G_CALLBACK(+[](GtkWidget*, LayerPlacement* self) { self->m_closed = false; }), this);
    g_object_set_data(G_OBJECT(window), "orvi-placement", static_cast<WindowPlacement*>(this));
    screen.addObserver(this);
    apply();
}

LayerPlacement::~LayerPlacement()
{
    if (m_gesture)
        m_pointer.stop();
    m_screen.removeObserver(this);
    for (guint source : { m_letGoCheck, m_keyboardFallback, m_reshow }) {
        if (source)
            g_source_remove(source);
    }
    g_object_set_data(G_OBJECT(m_window), "orvi-placement", nullptr);
    g_signal_handlers_disconnect_by_data(m_window, this);
    if (m_monitor)
        g_object_unref(m_monitor);
    g_object_unref(m_window);
}

void LayerPlacement::setFrame(const Rect& frame)
{
    m_frame = frame;
    apply();
}

void LayerPlacement::center()
{
    auto visible = m_screen.mainScreenVisibleFrame();
    if (!visible)
        return;
    m_frame.x = std::round(visible->x + (visible->width - m_frame.width) / 2);
    m_frame.y = std::round(visible->y + (visible->height - m_frame.height) / 2);
    apply();
}

void LayerPlacement::apply()
{
    auto visible = m_screen.mainScreenVisibleFrame();
    bool covers = visible && sameFrame(m_frame, *visible);
    setMonitor(m_screen.mainMonitor());
    gtk_layer_set_anchor(m_window, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_anchor(m_window, GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    gtk_layer_set_anchor(m_window, GTK_LAYER_SHELL_EDGE_RIGHT, covers);
    gtk_layer_set_anchor(m_window, GTK_LAYER_SHELL_EDGE_TOP, covers);
    int left = covers || !visible ? 0 : int(std::lround(m_frame.x - visible->x));
    int bottom = covers || !visible ? 0 : int(std::lround(m_frame.y - visible->y));
    gtk_layer_set_margin(m_window, GTK_LAYER_SHELL_EDGE_LEFT, left);
    gtk_layer_set_margin(m_window, GTK_LAYER_SHELL_EDGE_BOTTOM, bottom);
    // The compositor sizes a window anchored to both edges.
    GtkWidget* widget = GTK_WIDGET(m_window);
    if (covers)
        gtk_widget_set_size_request(widget, -1, -1);
    else
        gtk_widget_set_size_request(widget, std::max(1, int(std::lround(m_frame.width))),
            std::max(1, int(std::lround(m_frame.height))));
    gtk_window_resize(m_window, 1, 1);
}

// Held, so that a monitor that has gone cannot be taken for a new one at its
// address.
void LayerPlacement::setMonitor(GdkMonitor* monitor)
{
    if (monitor == m_monitor)
        return;
    if (monitor)
        g_object_ref(monitor);
    if (m_monitor)
        g_object_unref(m_monitor);
    m_monitor = monitor;
    gtk_layer_set_monitor(m_window, monitor);
}

void LayerPlacement::displayDidChange()
{
    if (m_screen.mainMonitor() != m_monitor)
        apply();
    if (m_closed && m_monitor) {
        m_closed = false;
        gtk_widget_show(GTK_WIDGET(m_window));
    }
}

// The bubble's drag starts at its first movement, which the pointer has made
// already: the window had not moved yet, so the event's own positions say how
// far it went up to then.
void LayerPlacement::drag(const MouseEvent& event)
{
    if (m_gesture)
        return;
    m_gesture = Gesture { m_frame, std::nullopt };
    moved(event.locationInScreen.x - event.pressLocationInScreen.x,
        event.pressLocationInScreen.y - event.locationInScreen.y);
    follow(std::nullopt, event.timestamp);
}

void LayerPlacement::follow(std::optional<GdkWindowEdge> edge, uint32_t since)
{
    if (m_letGoCheck)
        return;
    if (!m_gesture)
        m_gesture = Gesture { m_frame, edge };
    m_pointer.follow(since, [this](double dx, double dy) { moved(dx, dy); });
    m_letGoCheck = g_timeout_add(letGoMilliseconds, G_SOURCE_FUNC(buttonsLetGo), this);
}

// From the frame at the press and all the pointer has moved since, so that
// nothing drifts.
void LayerPlacement::moved(double dx, double dy)
{
    Gesture& gesture = *m_gesture;
    gesture.dx += dx;
    gesture.dy += dy;
    const Rect& start = gesture.start;
    Rect frame = start;
    auto visible = m_screen.mainScreenVisibleFrame();
    if (!gesture.edge) {
        frame.x = start.x + gesture.dx;
        frame.y = start.y - gesture.dy;
        if (visible) {
            frame.x = std::clamp(
                frame.x, visible->minX(), std::max(visible->minX(), visible->maxX() - frame.width));
            frame.y = std::clamp(frame.y, visible->minY(),
                std::max(visible->minY(), visible->maxY() - frame.height));
        }
    } else {
        GdkWindowEdge edge = *gesture.edge;
        bool west = edge == GDK_WINDOW_EDGE_WEST || edge == GDK_WINDOW_EDGE_NORTH_WEST
            || edge == GDK_WINDOW_EDGE_SOUTH_WEST;
        bool east = edge == GDK_WINDOW_EDGE_EAST || edge == GDK_WINDOW_EDGE_NORTH_EAST
            || edge == GDK_WINDOW_EDGE_SOUTH_EAST;
        bool north = edge == GDK_WINDOW_EDGE_NORTH || edge == GDK_WINDOW_EDGE_NORTH_WEST
            || edge == GDK_WINDOW_EDGE_NORTH_EAST;
        bool south = edge == GDK_WINDOW_EDGE_SOUTH || edge == GDK_WINDOW_EDGE_SOUTH_WEST
            || edge == GDK_WINDOW_EDGE_SOUTH_EAST;
        Size least = m_minSize.value_or(Size { 1, 1 });
        if (east || west)
            frame.width = std::max(least.width, start.width + (east ? gesture.dx : -gesture.dx));
        if (north || south)
            frame.height
                = std::max(least.height, start.height + (south ? gesture.dy : -gesture.dy));
        if (west)
            frame.x = start.maxX() - frame.width;
        if (south)
            frame.y = start.maxY() - frame.height;
    }
    m_frame = frame;
    apply();
}

gboolean LayerPlacement::buttonsLetGo(LayerPlacement* self)
{
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(self->m_window));
    GdkDevice* pointer
        = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    auto held = GdkModifierType(0);
    if (window && pointer)
        gdk_device_get_state(pointer, window, nullptr, &held);
    if (held & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK))
        return G_SOURCE_CONTINUE;
    self->m_letGoCheck = 0;
    self->m_pointer.stop();
    bool moved = !sameFrame(self->m_gesture->start, self->m_frame);
    self->m_gesture.reset();
    if (moved && self->m_moved)
        self->m_moved();
    return G_SOURCE_REMOVE;
}

// The collapsed assistant, nearly invisible and taking no clicks, stays in
// the top layer: lowering it gains nothing, and where the compositor speaks
// only the first version of layer shell a change of layer maps the surface
// anew, and it loses the keyboard.
void LayerPlacement::setFloating(bool) { }

void LayerPlacement::setKeyboard(GtkLayerShellKeyboardMode mode)
{
    if (m_keyboardFallback)
        g_source_remove(m_keyboardFallback);
    m_keyboardFallback = 0;
    m_takingKeyboard = mode == GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE;
    gtk_layer_set_keyboard_mode(m_window, mode);
}

void LayerPlacement::setAcceptsKeyboard(bool accepts)
{
    setKeyboard(
        accepts ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND : GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
}

void LayerPlacement::present()
{
    gtk_window_present(m_window);
    setKeyboard(GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    m_keyboardFallback
        = g_timeout_add(keyboardMilliseconds, G_SOURCE_FUNC(+[](LayerPlacement* self) {
              self->m_keyboardFallback = 0;
              self->setAcceptsKeyboard(true);
              return G_SOURCE_REMOVE;
          }),
            this);
}

gboolean LayerPlacement::focused(GtkWidget*, GdkEventFocus*, LayerPlacement* self)
{
    if (self->m_takingKeyboard)
        self->setAcceptsKeyboard(true);
    return FALSE;
}

// Shown again once the compositor has let go of the old surface, on the main
// output; while there is none, when one comes.
gboolean LayerPlacement::closedByCompositor(GtkWidget* window, GdkEvent*, LayerPlacement* self)
{
    if (!gtk_widget_get_visible(window) || self->m_reshow)
        return TRUE;
    gtk_widget_hide(window);
    self->m_closed = true;
    self->m_reshow = g_idle_add(G_SOURCE_FUNC(+[](LayerPlacement* self) {
        self->m_reshow = 0;
        self->setMonitor(nullptr);
        self->apply();
        if (self->m_closed && self->m_monitor) {
            self->m_closed = false;
            gtk_widget_show(GTK_WIDGET(self->m_window));
        }
        return G_SOURCE_REMOVE;
    }),
        self);
    return TRUE;
}

} // namespace orvi::gtk
