#include "platform/gtk/HomeFolder.h"

#include <filesystem>
#include <glib.h>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace orvi::gtk {

namespace {

// The folder GLib takes for the home: HOME when it is set (even to nothing),
// else the password database's entry.
std::string namedHome()
{
    if (const char* home = g_getenv("HOME"))
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

} // namespace

HomeFolder::HomeFolder()
{
    std::string home = namedHome();
    std::error_code error;
    if (!home.empty()
        && std::filesystem::is_directory(std::filesystem::canonical(home, error), error))
        return;
    g_setenv("HOME", "/", TRUE);
    std::string message = "The home folder \"" + home
        + "\" does not exist; the program runs with \"/\" as its home";
    g_log_structured("orvi-desktop", G_LOG_LEVEL_WARNING, "MESSAGE", "%s", message.c_str(),
        "GLIB_DOMAIN", "orvi-desktop");
}

} // namespace orvi::gtk
