#pragma once

#include "platform/gtk/DisplayServer.h"
#include "platform/gtk/wayland/RelativePointer.h"

#include <memory>

struct zwp_idle_inhibit_manager_v1;

namespace orvi::gtk {

// Native Wayland, where the compositor offers layer shell: the program's
// windows and dialogs are layer surfaces (wayland/LayerPlacement.h), on the
// main output (wayland/MonitorsWayland.h).
class DisplayServerWayland final : public DisplayServer {
public:
    DisplayServerWayland();
    ~DisplayServerWayland() override;

    std::unique_ptr<Monitors> makeMonitors() override;
    std::unique_ptr<WindowPlacement> makePlacement(
        GtkWindow*, ScreenGtk&, const Rect& frame, std::function<void()> moved) override;
    // In the overlay layer, above the assistant and the bubble, in the middle
    // of the main output, with the keyboard for itself while it is there.
    void placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&) override;
    void present(GtkWindow*) override;
    // An idle inhibitor on every surface of the program's while it is
    // mapped: idle daemons (swayidle and the like) heed nothing else.
    std::shared_ptr<void> keepDisplayAwake(GtkApplication*) override;

private:
    zwp_idle_inhibit_manager_v1* m_idleInhibitManager { nullptr };
    std::unique_ptr<RelativePointer> m_relativePointer;
};

} // namespace orvi::gtk
