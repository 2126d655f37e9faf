#pragma once

#include "platform/ProcessInfo.h"

#include <gtk/gtk.h>
#include <string>

namespace orvi::gtk {

// What the program asks of its process: a process activity keeps the machine
// awake with every mechanism the system has, each on its
// own and each allowed to be missing or to fail:
// - logind's Inhibit("idle:sleep", …, "block") on the system bus, held as a
//   file descriptor that is closed to release it;
// - org.freedesktop.ScreenSaver's Inhibit, undone with UnInhibit;
// - GTK's application inhibitor (the session manager or the desktop portal);
// - what the display server offers itself (the X server's screen saver
//   suspended, Wayland's idle inhibitor).
// The D-Bus calls are asynchronous, so a missing or slow bus never holds up
// launching; an answer that arrives after the activity ended is released at
// once. logind and the screen saver service are watched on their buses: when
// one first appears, or comes back after going away (an update of the
// desktop, a crash), it is asked again.
class ProcessInfoGtk final : public ProcessInfo {
public:
    // `who` names the program to the system (the application id).
    ProcessInfoGtk(GtkApplication*, std::string who);

    std::unique_ptr<ActivityToken> beginActivity(
        uint64_t options, const std::string& reason) override;
    void endActivity(ActivityToken&) override;
    double systemUptime() const override { return g_get_monotonic_time() / 1e6; }
    uint64_t physicalMemory() const override;

private:
    GtkApplication* m_application;
    std::string m_who;
};

} // namespace orvi::gtk
