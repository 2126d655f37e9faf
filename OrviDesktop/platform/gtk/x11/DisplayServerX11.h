#pragma once

#include "platform/gtk/DisplayServer.h"

namespace orvi::gtk {

// X11, directly or through XWayland: a window manager places the windows.
class DisplayServerX11 final : public DisplayServer {
public:
    std::unique_ptr<Monitors> makeMonitors() override;
    std::unique_ptr<WindowPlacement> makePlacement(
        GtkWindow*, ScreenGtk&, const Rect& frame, std::function<void()> moved) override;
    void placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&) override;
    void present(GtkWindow*) override;
    // The X server's screen saver and display power management, suspended.
    std::shared_ptr<void> keepDisplayAwake(GtkApplication*) override;
};

} // namespace orvi::gtk
