#include "platform/gtk/x11/DisplayServerX11.h"

#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/x11/MonitorsX11.h"
#include "platform/gtk/x11/WindowPlacementX11.h"

#include <X11/extensions/scrnsaver.h>
#include <gdk/gdkx.h>

namespace orvi::gtk {

std::unique_ptr<Monitors> DisplayServerX11::makeMonitors()
{
    return std::make_unique<MonitorsX11>();
}

std::unique_ptr<WindowPlacement> DisplayServerX11::makePlacement(
    GtkWindow* window, ScreenGtk& screen, const Rect& frame, std::function<void()> moved)
{
    return std::make_unique<WindowPlacementX11>(window, screen, frame, std::move(moved));
}

// Kept above like the floating assistant itself. Over a parent that can hold
// it, it goes wherever GTK puts it; over one too small to show it (the
// collapsed assistant), in the middle of the primary monitor's work area.
void DisplayServerX11::placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk& screen)
{
    gtk_window_set_keep_above(dialog, TRUE);
    GtkRequisition size;
    gtk_widget_get_preferred_size(GTK_WIDGET(dialog), nullptr, &size);
    int width = 0, height = 0;
    if (parent)
        gtk_window_get_size(parent, &width, &height);
    auto workarea = screen.primaryWorkarea();
    if ((width >= size.width && height >= size.height) || !workarea)
        return;
    gtk_window_set_position(dialog, GTK_WIN_POS_NONE);
    gtk_window_move(dialog, workarea->x + (workarea->width - size.width) / 2,
        workarea->y + (workarea->height - size.height) / 2);
}

// With the server's time, so that the window manager gives the focus without
// waiting for a user event; without a window manager a mapped window is
// focused all the same.
void DisplayServerX11::present(GtkWindow* window)
{
    gtk_widget_realize(GTK_WIDGET(window));
    GdkWindow* shown = gtk_widget_get_window(GTK_WIDGET(window));
    gtk_window_present_with_time(window, gdk_x11_get_server_time(shown));
}

std::shared_ptr<void> DisplayServerX11::keepDisplayAwake(GtkApplication*)
{
    Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    int eventBase, errorBase;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return nullptr;
    XScreenSaverSuspend(display, True);
    XFlush(display);
    return std::shared_ptr<void>(display, [](void* display) {
        XScreenSaverSuspend(static_cast<Display*>(display), False);
        XFlush(static_cast<Display*>(display));
    });
}

} // namespace orvi::gtk
