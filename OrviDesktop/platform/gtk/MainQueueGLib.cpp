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
    // Rounded up: never earlier than asked.
    auto milliseconds = static_cast<guint>(std::ceil(std::max(0.0, seconds) * 1000));
    g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, runOnce,
        new std::function<void()>(std::move(work)), destroy);
}

} // namespace orvi::gtk
