#pragma once

#include "platform/gtk/Monitors.h"

namespace orvi::gtk {

// The monitors on Wayland. The main one is the first the compositor
// announced, and stays so while it is there; when it goes, the first one left
// takes its place. It is the only one the program uses: a layer surface lives
// on one output, and the bubble is kept on the assistant's.
//
// A client sees neither where the panels are nor how much they take; a
// surface anchored to both edges of an axis is given what they leave of it.
// Two transparent 1-pixel strips of the program's in the background layer,
// one along each axis, measure it, and say so when it changes. Points go from
// the output's bottom-left, and what the panels leave lies there too: the
// layer surfaces are placed by its edges, never by where the panels are.
class MonitorsWayland final : public Monitors {
public:
    ~MonitorsWayland() override;

    MonitorLayout read() override;
    GdkMonitor* mainMonitor() override;
    void watch(std::function<void(bool monitors)> changed) override;

private:
    void measured(GtkWidget* strip, const GtkAllocation&);

    GdkMonitor* m_main { nullptr };
    GtkWidget* m_across { nullptr };
    GtkWidget* m_down { nullptr };
    int m_width { 0 };
    int m_height { 0 };
    std::function<void(bool)> m_changed;
};

} // namespace orvi::gtk
