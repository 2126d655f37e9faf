#include "platform/gtk/MainQueueGLib.h"

#include <cmath>
#include <glib.h>

namespace orvi::gtk {

namespace {

gboolean runOnce(gpointer data)
{
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void destroy(gpointer data)
{
    delete static_cast<std::function<void()>*>(data);
}

} // namespace

void MainQueueGLib::async(std::function<void()> work)
{
    g_idle_add_full(
        G_PRIORITY_DEFAULT, runOnce, new std::function<void()>(std::move(work)), destroy);
}

void MainQueueGLib::asyncAfter(double seconds, std::function<void()> work)
{
    // Rounded up: never earlier than asked. GLib counts at most 49 days; work
    // asked for later than that runs then (its callers look at the clock again).
    double asked = std::ceil(std::max(0.0, seconds) * 1000);
    auto milliseconds = asked < double(G_MAXUINT) ? static_cast<guint>(asked) : G_MAXUINT;
    g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, runOnce,
        new std::function<void()>(std::move(work)), destroy);
}

} // namespace orvi::gtk
