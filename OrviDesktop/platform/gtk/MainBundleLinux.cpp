#include "platform/gtk/MainBundleLinux.h"

#include <glib.h>

namespace orvi::gtk {

MainBundleLinux::MainBundleLinux()
{
    gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
    if (!executable)
        return;
    m_executablePath = executable;
    gchar* folder = g_path_get_dirname(executable);
    m_bundlePath = folder;
    gchar* resources = g_canonicalize_filename("../share/orvi-desktop", folder);
    m_resourcePath = resources;
    g_free(resources);
    g_free(folder);
    g_free(executable);
}

std::string MainBundleLinux::userConfigDirectory() const
{
    return g_get_user_config_dir();
}

} // namespace orvi::gtk
