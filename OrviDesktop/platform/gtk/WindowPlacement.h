#pragma once

#include "platform/Geometry.h"
#include "platform/MouseEvent.h"
#include "platform/gtk/FrameSettling.h"
#include "platform/gtk/ScreenGtk.h"

#include <functional>
#include <gtk/gtk.h>
#include <optional>

namespace orvi::gtk {

// Where one window is, as the program knows it, and how it gets where the
// program wants it.
//
// The frame is the last one the program set until the window manager has
// placed the window there, then where the window is. Every request goes
// through the window's FrameSettling: the newest request wins, a window still
// elsewhere once the window manager has gone quiet is asked again. A frame
// below the window's minimum size lifts the minimum until the window has
// left such frames.
//
// What the window manager does while the monitors change (it shuffles windows
// onto whatever screen is left) is not the window's frame: the window keeps
// its place, and once the change has settled its frame is that place in the
// new layout's points. A move by the user (or the window manager at another
// time) becomes the frame, and once the pointer has let go the window hears
// of it. Main thread only.
class WindowPlacement final : public DisplayObserver {
public:
    // `moved` is called once a move by the user is over. The window starts at
    // `frame`, not yet shown.
    WindowPlacement(GtkWindow*, ScreenGtk&, const Rect& frame, std::function<void()> moved);
    ~WindowPlacement() override;

    WindowPlacement(const WindowPlacement&) = delete;
    WindowPlacement& operator=(const WindowPlacement&) = delete;

    const Rect& frame() const { return m_frame; }
    void setFrame(const Rect&);
    // Centres the window on the primary monitor at its current size.
    void center();
    void setMinSize(Size);
    // Before a hidden window is shown again: GTK would put it back where it
    // was first given, and it comes back where it was last seen instead.
    void restorePositionIfHidden();
    // Has the window manager move the window with the pointer, from where the
    // button went down.
    void drag(const MouseEvent&);

    // DisplayObserver
    void displayDidChange() override;

private:
    bool fitsMinimum(const Rect&) const;
    void applyMinimumSize(bool);
    void askFor(const PixelRect&);
    void settleAt(const PixelRect&);
    static gboolean configured(GtkWidget*, GdkEventConfigure*, WindowPlacement*);
    static gboolean quiet(WindowPlacement*);
    static gboolean moveOver(WindowPlacement*);

    GtkWindow* m_window;
    ScreenGtk& m_screen;
    std::function<void()> m_moved;
    Rect m_frame;
    // Where the window is, or was last asked to be, in root-window pixels.
    PixelRect m_pixels;
    FrameSettling m_settling;
    guint m_quietCheck { 0 };
    guint m_moveCheck { 0 };
    bool m_buttonHeld { false };
    std::optional<Size> m_minSize;
    bool m_minSizeApplied { false };
};

} // namespace orvi::gtk
