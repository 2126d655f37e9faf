#pragma once

#include "platform/Geometry.h"
#include "platform/MouseEvent.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// Where one of the program's windows is, how it gets where the program wants
// it, and how it takes the keyboard, as its display server has it: on X11 a
// window manager places windows (x11/WindowPlacementX11.h); on Wayland the
// windows are layer surfaces, placed by their anchors and margins
// (wayland/LayerPlacement.h). Frames are in the program's points. Main
// thread only.
class WindowPlacement {
public:
    virtual ~WindowPlacement() = default;

    // The last frame the program set, until the user moves the window; then
    // where it is.
    virtual const Rect& frame() const = 0;
    virtual void setFrame(const Rect&) = 0;
    // Centres the window on the main screen at its current size.
    virtual void center() = 0;
    // What the user may not resize the window below; the program may.
    virtual void setMinSize(Size) = 0;
    // Before a hidden window is shown again: it comes back where it was last
    // put.
    virtual void restorePositionIfHidden() = 0;
    // The window follows the pointer, from where the button went down, until
    // it is let go.
    virtual void drag(const MouseEvent&) = 0;
    // A press on the title strip moves the window with the pointer, one on an
    // edge resizes it from there, until the button is let go.
    virtual void beginMove(const GdkEventButton*) = 0;
    virtual void beginResize(GdkWindowEdge, const GdkEventButton*) = 0;
    // Above ordinary windows, or among them.
    virtual void setFloating(bool) = 0;
    // Whether the window may have the keyboard; one that may not gives it up.
    virtual void setAcceptsKeyboard(bool) = 0;
    // The window had the keyboard handed to it all the same: it lets it go.
    virtual void giveUpKeyboard() = 0;
    // In front, with the keyboard.
    virtual void present() = 0;
    // Whether something minimises the window when asked to; where nothing
    // does, the window counts as minimised at once.
    virtual bool canMinimize() const = 0;
};

} // namespace orvi::gtk
