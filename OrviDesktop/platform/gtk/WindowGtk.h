#pragma once

#include "platform/Window.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/TitleStrip.h"
#include "platform/gtk/ViewGtk.h"
#include "platform/gtk/WindowPlacement.h"
#include "platform/gtk/WindowShape.h"

#include <gtk/gtk.h>
#include <memory>

namespace orvi::gtk {

// A GtkWindow. A titled window with a full-size content view is drawn without
// the window manager's frame: its content fills it, under a title strip (see
// TitleStrip.h) and, when it is resizable, edges to resize it by (see
// ResizeEdges.h). A non-activating panel is an undecorated utility window that
// stays out of task bars and takes the focus only when the program gives it.
// Where the window goes and how it takes the keyboard is its
// WindowPlacement's business.
class WindowGtk final : public Window {
public:
    // `menu`, when given, is offered from a button in the title strip.
    WindowGtk(
        GtkApplication*, GMenuModel* menu, ScreenGtk&, const Rect& contentRect, uint32_t styleMask);
    ~WindowGtk() override;

    void setDelegate(WindowDelegate* delegate) override { m_delegate = delegate; }
    void setContentView(View&) override;

    void setTitle(const std::string&) override;
    void setControlNames(const WindowControlNames&) override;
    void setTitleHidden(bool) override;
    void setTitlebarAppearsTransparent(bool) override;
    void setMovableByWindowBackground(bool movable) override { m_movableByBackground = movable; }
    void setMinSize(Size minimum) override { m_placement->setMinSize(minimum); }
    void setLevel(WindowLevel) override;
    void setCollectionBehavior(uint32_t) override;
    void setHidesOnDeactivate(bool) override;
    void setOpaque(bool) override;
    void setBackgroundClear(bool) override;
    void setHasShadow(bool) override;

    Rect frame() const override { return m_placement->frame(); }
    void setFrame(const Rect& frame) override { m_placement->setFrame(frame); }
    void center() override { m_placement->center(); }

    void setAlphaValue(double) override;
    void setIgnoresMouseEvents(bool) override;
    void setIgnoresKeyboardEvents(bool) override;

    void orderFrontRegardless() override;
    void makeKeyAndOrderFront() override;
    bool isKeyWindow() const override;
    void orderOut() override;
    void deminiaturize() override;
    void performWindowDrag(const MouseEvent& event) override { m_placement->drag(event); }

    GtkWindow* gtkWindow() const { return m_window; }

private:
    void updateOutline();
    void close();
    bool isPanel() const;
    static void miniaturize(WindowGtk*);

    static gboolean deleteEvent(GtkWidget*, GdkEvent*, WindowGtk*);
    static gboolean windowStateEvent(GtkWidget*, GdkEventWindowState*, WindowGtk*);
    static gboolean buttonPressEvent(GtkWidget*, GdkEventButton*, WindowGtk*);
    static gboolean keyEvent(GtkWidget*, GdkEvent*, WindowGtk*);
    static gboolean focusIn(GtkWidget*, GdkEventFocus*, WindowGtk*);

    GtkWindow* m_window { nullptr };
    GtkWidget* m_overlay { nullptr };
    TitleStrip m_strip;
    GtkWidget* m_content { nullptr };
    ViewGtk* m_contentView { nullptr };
    WindowDelegate* m_delegate { nullptr };
    uint32_t m_styleMask;
    WindowShape m_shape;
    std::unique_ptr<WindowPlacement> m_placement;

    bool m_movableByBackground { false };
    bool m_ignoresKeyboard { false };
    bool m_iconified { false };
    bool m_opaque { true };
    bool m_backgroundClear { false };
};

} // namespace orvi::gtk
