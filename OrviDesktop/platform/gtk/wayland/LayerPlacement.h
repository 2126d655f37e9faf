#pragma once

#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/WindowPlacement.h"
#include "platform/gtk/wayland/RelativePointer.h"

#include <functional>
#include <gtk-layer-shell.h>
#include <optional>

namespace orvi::gtk {

// A window as a layer surface on the main output, in the top layer (above
// ordinary windows), keeping no room of the panels' for itself. A frame that covers the main
// screen's visible frame is anchored to all four edges, so the compositor keeps it over what the
// panels leave; any other is anchored to the bottom and left edges of that room, its margins its
// distance from them, its size its own.
//
// Nothing moves a layer surface but its client: a drag of the title strip or
// of the bubble, or of an edge, follows the pointer's movements (see
// RelativePointer.h) until the button is let go. A move stays inside the
// visible frame; a resize never goes below the minimum size (what passes the
// output's edge the compositor cuts off). Touch drags are not followed: the
// relative pointer reports only the pointer.
//
// Its keyboard is the compositor's to give: on demand, taken when the user
// clicks the window; presented, the window asks for it exclusively until it
// has it (or half a second has passed, for a compositor that never says),
// then on demand again; ignoring the keyboard, it takes none. A
// layer surface cannot be minimised, and only the compositor closes one (when
// its output goes): it then comes back on the main output.
class LayerPlacement final : public WindowPlacement, public DisplayObserver {
public:
    LayerPlacement(
        GtkWindow*, ScreenGtk&, RelativePointer&, const Rect& frame, std::function<void()> moved);
    ~LayerPlacement() override;

    LayerPlacement(const LayerPlacement&) = delete;
    LayerPlacement& operator=(const LayerPlacement&) = delete;

    const Rect& frame() const override { return m_frame; }
    void setFrame(const Rect&) override;
    void center() override;
    void setMinSize(Size minimum) override { m_minSize = minimum; }
    void restorePositionIfHidden() override { apply(); }
    void drag(const MouseEvent&) override;
    void beginMove(const GdkEventButton* event) override { follow(std::nullopt, event->time); }
    void beginResize(GdkWindowEdge edge, const GdkEventButton* event) override
    {
        follow(edge, event->time);
    }
    void setFloating(bool) override;
    void setAcceptsKeyboard(bool) override;
    void giveUpKeyboard() override { setAcceptsKeyboard(false); }
    void present() override;
    bool canMinimize() const override { return false; }

    // DisplayObserver
    void displayDidChange() override;

private:
    struct Gesture {
        Rect start;
        // None for a move.
        std::optional<GdkWindowEdge> edge;
        double dx { 0 };
        double dy { 0 };
    };

    void apply();
    // From the press (or the first movement) at `since` on.
    void follow(std::optional<GdkWindowEdge>, uint32_t since);
    void moved(double dx, double dy);
    void setKeyboard(GtkLayerShellKeyboardMode);
    static gboolean buttonsLetGo(LayerPlacement*);
    static gboolean focused(GtkWidget*, GdkEventFocus*, LayerPlacement*);
    static gboolean closedByCompositor(GtkWidget*, GdkEvent*, LayerPlacement*);
    void setMonitor(GdkMonitor*);

    GtkWindow* m_window;
    ScreenGtk& m_screen;
    RelativePointer& m_pointer;
    std::function<void()> m_moved;
    Rect m_frame;
    std::optional<Size> m_minSize;
    GdkMonitor* m_monitor { nullptr };
    std::optional<Gesture> m_gesture;
    guint m_letGoCheck { 0 };
    bool m_takingKeyboard { false };
    guint m_keyboardFallback { 0 };
    guint m_reshow { 0 };
    // Closed by the compositor and not yet shown again.
    bool m_closed { false };
};

} // namespace orvi::gtk
