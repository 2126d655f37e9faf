#include "platform/gtk/WorkspaceGtk.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// GIO hands any scheme to whatever claims it (and a file URL to the file's
// own application), so callers decide what may be opened before this.
bool WorkspaceGtk::openURL(const std::string& url)
{
    GdkDisplay* display = gdk_display_get_default();
    GAppLaunchContext* context
        = display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)) : nullptr;
    gboolean opened = g_app_info_launch_default_for_uri(url.c_str(), context, nullptr);
    if (context)
        g_object_unref(context);
    return opened;
}

} // namespace orvi::gtk
