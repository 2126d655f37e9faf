#pragma once

#include <optional>

namespace orvi {

// The service manager that started the program, when one did (systemd's
// notification protocol): it hears when the program is ready, that it is
// alive, and that it is stopping, and it may watch for the last: a program
// that stops saying so is taken for hung and restarted. Without a manager
// every call does nothing. Main thread only.
class Supervisor {
public:
    virtual ~Supervisor() = default;

    // Whether a service manager started the program and listens.
    virtual bool supervised() const = 0;
    // How often the manager wants to hear that the program is alive, in
    // seconds; nothing when it does not watch.
    virtual std::optional<double> watchdogInterval() const = 0;
    virtual void notifyReady() = 0;
    virtual void notifyAlive() = 0;
    virtual void notifyStopping() = 0;
};

} // namespace orvi
