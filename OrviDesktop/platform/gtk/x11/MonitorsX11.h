#pragma once

#include "platform/gtk/Monitors.h"

namespace orvi::gtk {

// The monitors as GDK reports them on X11, the primary one first, watched for
// RandR's changes (a monitor added, removed, turned off or on, a new
// resolution, a new primary) and the work area's (the root window's
// _NET_WORKAREA and _GTK_WORKAREAS_Dn, and the current desktop, whose work
// area it is). With every output off there is no monitor at all.
class MonitorsX11 final : public Monitors {
public:
    ~MonitorsX11() override;

    MonitorLayout read() override;
    GdkMonitor* mainMonitor() override;
    void watch(std::function<void(bool monitors)> changed) override;

private:
    static GdkFilterReturn rootEvent(GdkXEvent*, GdkEvent*, MonitorsX11*);

    std::function<void(bool)> m_changed;
    int m_randrEventBase { -1 };
};

} // namespace orvi::gtk
