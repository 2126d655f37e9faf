#include "platform/gtk/DialogPlacement.h"

#include <gdk/gdkx.h>

namespace orvi::gtk {

GtkWindow* mainWindowOf(GtkApplication* application)
{
    if (!application)
        return nullptr;
    for (GList* item = gtk_application_get_windows(application); item; item = item->next) {
        auto* window = GTK_WINDOW(item->data);
        if (gtk_window_get_type_hint(window) == GDK_WINDOW_TYPE_HINT_NORMAL)
            return window;
    }
    return nullptr;
}

namespace {

void placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk& screen)
{
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

} // namespace

void showDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk& screen)
{
    // The program's shortcuts (Ctrl+Q) work in the dialog as in its other
    // windows, and its grab keeps to a group of its own: the assistant's
    // window, its buttons and the window manager's close go on working, so a
    // quit never waits for an answer. The dialog holds the group.
    if (GApplication* application = g_application_get_default())
        gtk_window_set_application(dialog, GTK_APPLICATION(application));
    GtkWindowGroup* group = gtk_window_group_new();
    gtk_window_group_add_window(group, dialog);
    g_object_unref(group);
    if (parent)
        gtk_window_set_title(dialog, gtk_window_get_title(parent));
    gtk_window_set_keep_above(dialog, TRUE);
    placeDialog(dialog, parent, screen);
    presentWithFocus(dialog);
}

void presentWithFocus(GtkWindow* window)
{
    gtk_widget_realize(GTK_WIDGET(window));
    GdkWindow* shown = gtk_widget_get_window(GTK_WIDGET(window));
    gtk_window_present_with_time(window,
        shown && GDK_IS_X11_WINDOW(shown) ? gdk_x11_get_server_time(shown) : GDK_CURRENT_TIME);
}

} // namespace orvi::gtk
