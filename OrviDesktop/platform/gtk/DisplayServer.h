#pragma once

#include "platform/Geometry.h"
#include "platform/gtk/Monitors.h"
#include "platform/gtk/WindowPlacement.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>

namespace orvi::gtk {

class ScreenGtk;

// What differs between the display servers the program runs on: where its
// windows go and how they take the keyboard, how the monitors are read, where
// dialogs come up and how the display is kept from blanking. X11 (x11/) has
// a window manager place ordinary windows; Wayland (wayland/) has the
// windows be layer surfaces, where the compositor offers layer shell.
// Everything else of the backend is the same on both. Main thread only.
class DisplayServer {
public:
    virtual ~DisplayServer() = default;

    // Before GTK opens its display: native Wayland where the compositor
    // offers layer shell, X11 (through XWayland where need be) everywhere
    // else. GDK_BACKEND=x11 asks for X11.
    static void chooseBackend();
    // The one of the display GTK opened, from the first call on.
    static DisplayServer& current();

    virtual std::unique_ptr<Monitors> makeMonitors() = 0;
    // For a window not yet shown, at `frame`; `moved` is told once the user
    // has moved or resized it and let go.
    virtual std::unique_ptr<WindowPlacement> makePlacement(
        GtkWindow*, ScreenGtk&, const Rect& frame, std::function<void()> moved)
        = 0;
    // Puts a dialog not yet shown above everything of the program's, where
    // it can be seen whatever its parent's size, and with the keyboard once
    // shown.
    virtual void placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&) = 0;
    // In front with the keyboard: a window of the program's, or a dialog.
    virtual void present(GtkWindow*) = 0;
    // The display does not blank while the result is kept.
    virtual std::shared_ptr<void> keepDisplayAwake(GtkApplication*) = 0;
};

} // namespace orvi::gtk
