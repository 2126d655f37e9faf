#pragma once

#include "platform/Window.h"
#include "platform/gtk/Coordinates.h"
#include "platform/gtk/ViewGtk.h"

#include <gtk/gtk.h>
#include <optional>

namespace orvi::gtk {

// A GtkWindow. A titled window with a full-size content view is drawn without
// the window manager's frame: its content fills it, and a transparent strip at
// the top carries the close and minimise buttons and moves the window when
// dragged, as a title bar does, and a button with the application's menu. A non-activating panel is
// an undecorated utility window that never takes the focus and stays out of task bars.
class WindowGtk final : public Window {
public:
    // `menu`, when given, is offered from a button in the title strip.
    WindowGtk(GtkApplication*, GMenuModel* menu, const Rect& contentRect, uint32_t styleMask);
    ~WindowGtk() override;

    void setDelegate(WindowDelegate* delegate) override { m_delegate = delegate; }
    void setContentView(View&) override;

    void setTitle(const std::string&) override;
    void setTitleHidden(bool) override;
    void setTitlebarAppearsTransparent(bool) override;
    void setMovableByWindowBackground(bool movable) override { m_movableByBackground = movable; }
    void setMinSize(Size) override;
    void setLevel(WindowLevel) override;
    void setCollectionBehavior(uint32_t) override;
    void setHidesOnDeactivate(bool) override;
    void setOpaque(bool) override;
    void setBackgroundClear(bool) override;
    void setHasShadow(bool) override;

    Rect frame() const override { return m_frame; }
    void setFrame(const Rect&) override;
    void center() override;

    void setAlphaValue(double) override;
    void setIgnoresMouseEvents(bool) override;

    void orderFrontRegardless() override;
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    void deminiaturize() override;
    void performWindowDrag(const MouseEvent&) override;

    GtkWindow* gtkWindow() const { return m_window; }

private:
    void buildTitleStrip(uint32_t styleMask, GMenuModel* menu);
    void applyMinimumSize(const Rect& target);
    void settleMinimumSize(const Rect& actual);
    void applyInputShape();
    void applyContentShape();
    void restorePositionIfHidden();

    static gboolean deleteEvent(GtkWidget*, GdkEvent*, WindowGtk*);
    static gboolean windowStateEvent(GtkWidget*, GdkEventWindowState*, WindowGtk*);
    static gboolean configureEvent(GtkWidget*, GdkEventConfigure*, WindowGtk*);
    static gboolean buttonPressEvent(GtkWidget*, GdkEventButton*, WindowGtk*);

    GtkWindow* m_window { nullptr };
    GtkWidget* m_overlay { nullptr };
    GtkWidget* m_titleStrip { nullptr };
    GtkWidget* m_titleLabel { nullptr };
    GtkWidget* m_content { nullptr };
    ViewGtk* m_contentView { nullptr };
    WindowDelegate* m_delegate { nullptr };

    Rect m_frame;
    // The frame the program asked for, until the window system confirms it.
    std::optional<Rect> m_requestedFrame;
    bool m_movedAgain { false };
    int m_configureRounds { 0 };
    std::optional<Size> m_minSize;
    bool m_minSizeApplied { false };
    bool m_minSizeWaiting { false };
    bool m_ignoresMouseEvents { false };
    bool m_movableByBackground { false };
    bool m_iconified { false };
    bool m_opaque { true };
    bool m_backgroundClear { false };
    // The content's rounded outline, for a window that only shows its content.
    cairo_region_t* m_shape { nullptr };
};

} // namespace orvi::gtk
