#include "platform/gtk/SupervisorSystemd.h"

#include <cstdint>
#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace orvi::gtk {

bool SupervisorSystemd::supervised() const
{
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

std::optional<double> SupervisorSystemd::watchdogInterval() const
{
    uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) <= 0 || !microseconds)
        return std::nullopt;
    return microseconds / 1e6;
}

void SupervisorSystemd::notifyReady()
{
    sd_notify(0, "READY=1");
}

void SupervisorSystemd::notifyAlive()
{
    sd_notify(0, "WATCHDOG=1");
}

void SupervisorSystemd::notifyStopping()
{
    sd_notify(0, "STOPPING=1");
}

} // namespace orvi::gtk
