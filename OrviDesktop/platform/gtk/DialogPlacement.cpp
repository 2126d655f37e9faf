#include "platform/gtk/DialogPlacement.h"

#include "platform/gtk/DisplayServer.h"

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
    DisplayServer::current().placeDialog(dialog, parent, screen);
    DisplayServer::current().present(dialog);
}

} // namespace orvi::gtk
