#include "platform/gtk/StyleSheet.h"

#include <gtk/gtk.h>
#include <unordered_set>

namespace orvi::gtk {

void addStyleSheetOnce(const char* sheet)
{
    static std::unordered_set<const char*> added;
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen || !added.insert(sheet).second)
        return;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, sheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        screen, GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

} // namespace orvi::gtk
