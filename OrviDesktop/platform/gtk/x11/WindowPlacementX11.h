#pragma once

#include "platform/Geometry.h"
#include "platform/MouseEvent.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/WindowPlacement.h"
#include "platform/gtk/x11/FrameSettling.h"

#include <functional>
#include <gtk/gtk.h>
#include <optional>

namespace orvi::gtk {

// A window placed by an X11 window manager.
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
class WindowPlacementX11 final : public WindowPlacement, public DisplayObserver {
public:
    // `moved` is called once a move by the user is over. The window starts at
    // `frame`, not yet shown.
    WindowPlacementX11(GtkWindow*, ScreenGtk&, const Rect& frame, std::function<void()> moved);
    ~WindowPlacementX11() override;

    WindowPlacementX11(const WindowPlacementX11&) = delete;
    WindowPlacementX11& operator=(const WindowPlacementX11&) = delete;

    const Rect& frame() const override { return m_frame; }
    void setFrame(const Rect&) override;
    void center() override;
    void setMinSize(Size) override;
    // GTK would put a hidden window back where it was first given.
    void restorePositionIfHidden() override;
    // The window manager moves the window with the pointer, from where the
    // button went down.
    void drag(const MouseEvent&) override;
    void beginMove(const GdkEventButton*) override;
    void beginResize(GdkWindowEdge, const GdkEventButton*) override;
    void setFloating(bool) override;
    // The window manager is told the window takes no input, and the focus
    // it has goes to whatever window is under the pointer, from where the
    // window manager gives it to the window it finds fit: never back to this
    // one.
    void setAcceptsKeyboard(bool) override;
    void giveUpKeyboard() override;
    void present() override;
    // Where the window manager can hide windows (_NET_WM_STATE_HIDDEN).
    bool canMinimize() const override;

    // DisplayObserver
    void displayDidChange() override;

private:
    bool fitsMinimum(const Rect&) const;
    void applyMinimumSize(bool);
    void askFor(const PixelRect&);
    void settleAt(const PixelRect&);
    static gboolean configured(GtkWidget*, GdkEventConfigure*, WindowPlacementX11*);
    static gboolean quiet(WindowPlacementX11*);
    static gboolean moveOver(WindowPlacementX11*);

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
