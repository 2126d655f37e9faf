#include "platform/gtk/WindowGtk.h"

#include "platform/gtk/DisplayServer.h"
#include "platform/gtk/ResizeEdges.h"
#include "platform/gtk/StyleSheet.h"

namespace orvi::gtk {

namespace {

// A window that is not opaque shows what lies behind it.
constexpr char clearStyleSheet[] = "window.orvi-clear, window.orvi-clear > overlay "
                                   "{ background-color: transparent; background-image: none; }";

} // namespace

WindowGtk::WindowGtk(GtkApplication* application, GMenuModel* menu, ScreenGtk& screen,
    const Rect& contentRect, uint32_t styleMask)
    : m_window(GTK_WINDOW(g_object_ref(gtk_window_new(GTK_WINDOW_TOPLEVEL))))
    , m_styleMask(styleMask)
    , m_shape(GTK_WIDGET(m_window))
    , m_placement(DisplayServer::current().makePlacement(m_window, screen, contentRect, [this] {
        if (m_delegate)
            m_delegate->windowDidMove();
    }))
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
        m_strip = makeTitleStrip(*m_placement, styleMask, menu,
            { G_CALLBACK(+[](WindowGtk* self) { self->close(); }), G_CALLBACK(miniaturize), this });
        gtk_overlay_add_overlay(GTK_OVERLAY(m_overlay), m_strip.widget);
        if (styleMask & WindowStyle::resizable)
            addResizeEdges(GTK_OVERLAY(m_overlay), *m_placement);
    }

    gtk_widget_add_events(GTK_WIDGET(m_window), GDK_BUTTON_PRESS_MASK);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(deleteEvent), this);
    g_signal_connect(m_window, "window-state-event", G_CALLBACK(windowStateEvent), this);
    g_signal_connect(m_window, "button-press-event", G_CALLBACK(buttonPressEvent), this);
    g_signal_connect(m_window, "focus-in-event", G_CALLBACK(focusIn), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(keyEvent), this);
    g_signal_connect(m_window, "key-release-event", G_CALLBACK(keyEvent), this);
}

WindowGtk::~WindowGtk()
{
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
    if (m_strip.title)
        gtk_label_set_text(GTK_LABEL(m_strip.title), title.c_str());
}

void WindowGtk::setControlNames(const WindowControlNames& names)
{
    nameStripButton(m_strip.close, names.close);
    nameStripButton(m_strip.minimize, names.minimize);
    nameStripButton(m_strip.menu, names.menu);
}

void WindowGtk::setTitleHidden(bool hidden)
{
    if (m_strip.title)
        gtk_widget_set_visible(m_strip.title, !hidden);
}

void WindowGtk::setTitlebarAppearsTransparent(bool transparent)
{
    if (!m_strip.widget)
        return;
    GtkStyleContext* style = gtk_widget_get_style_context(m_strip.widget);
    if (transparent)
        gtk_style_context_remove_class(style, "opaque");
    else
        gtk_style_context_add_class(style, "opaque");
}

void WindowGtk::setLevel(WindowLevel level)
{
    m_placement->setFloating(level == WindowLevel::floating);
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

void WindowGtk::setAlphaValue(double alpha)
{
    gtk_widget_set_opacity(GTK_WIDGET(m_window), alpha);
}

void WindowGtk::setIgnoresMouseEvents(bool ignores)
{
    m_shape.setClickThrough(ignores);
}

// Focus handed to a window that ignores the keyboard all the same (a window
// manager's cycling, a program's focus request) goes on at once, and no key
// that comes meanwhile reaches its content.
void WindowGtk::setIgnoresKeyboardEvents(bool ignores)
{
    m_ignoresKeyboard = ignores;
    m_placement->setAcceptsKeyboard(!ignores);
}

gboolean WindowGtk::focusIn(GtkWidget*, GdkEventFocus*, WindowGtk* self)
{
    if (self->m_ignoresKeyboard)
        self->m_placement->giveUpKeyboard();
    return self->m_ignoresKeyboard;
}

gboolean WindowGtk::keyEvent(GtkWidget*, GdkEvent*, WindowGtk* self)
{
    return self->m_ignoresKeyboard;
}

void WindowGtk::orderFrontRegardless()
{
    m_placement->restorePositionIfHidden();
    gtk_widget_show(GTK_WIDGET(m_window));
    if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_window)))
        gdk_window_raise(window);
}

void WindowGtk::makeKeyAndOrderFront()
{
    m_placement->restorePositionIfHidden();
    if (isPanel())
        m_placement->setAcceptsKeyboard(true);
    gtk_widget_show(GTK_WIDGET(m_window));
    m_placement->present();
}

bool WindowGtk::isKeyWindow() const
{
    return gtk_window_has_toplevel_focus(m_window);
}

void WindowGtk::orderOut()
{
    gtk_widget_hide(GTK_WIDGET(m_window));
    if (isPanel())
        m_placement->setAcceptsKeyboard(false);
}

void WindowGtk::deminiaturize()
{
    gtk_window_deiconify(m_window);
}

// A window without a close button (the bubble) cannot be closed from outside
// either. Otherwise the window is never destroyed behind the program's back:
// a close that the delegate allows only takes it off the screen.
gboolean WindowGtk::deleteEvent(GtkWidget*, GdkEvent*, WindowGtk* self)
{
    if (self->m_styleMask & WindowStyle::closable)
        self->close();
    return TRUE;
}

// The title strip's close button, as the window manager's.
void WindowGtk::close()
{
    if (!m_delegate || m_delegate->windowShouldClose())
        orderOut();
}

bool WindowGtk::isPanel() const
{
    return m_styleMask & WindowStyle::nonactivatingPanel;
}

// The title strip's minimise button. A window manager minimises the window;
// with none that can (a kiosk started straight from xinit, a layer surface),
// the window reports itself minimised at once, as if one had.
void WindowGtk::miniaturize(WindowGtk* self)
{
    if (self->m_placement->canMinimize())
        gtk_window_iconify(self->m_window);
    else if (self->m_delegate)
        self->m_delegate->windowDidMiniaturize();
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

gboolean WindowGtk::buttonPressEvent(GtkWidget*, GdkEventButton* event, WindowGtk* self)
{
    if (!self->m_movableByBackground || event->type != GDK_BUTTON_PRESS
        || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    self->m_placement->beginMove(event);
    return TRUE;
}

} // namespace orvi::gtk
