#pragma once

#include "platform/Supervisor.h"

namespace orvi::gtk {

// systemd's service notifications, through libsystemd's sd_notify: nothing
// is sent, and nothing fails, when $NOTIFY_SOCKET is not set. The watchdog's
// interval is $WATCHDOG_USEC's, when $WATCHDOG_PID is this process (or unset).
class SupervisorSystemd final : public Supervisor {
public:
    bool supervised() const override;
    std::optional<double> watchdogInterval() const override;
    void notifyReady() override;
    void notifyAlive() override;
    void notifyStopping() override;
};

} // namespace orvi::gtk
