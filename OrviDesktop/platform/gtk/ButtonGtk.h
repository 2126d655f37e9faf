#pragma once

#include "platform/Button.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/ViewGtk.h"

#include <optional>

namespace orvi::gtk {

// An event box holding a centred label, drawn by CSS from the layer's fill,
// corner radius and border. Mouse events go to the handler as they come;
// with no handler, a press and release send nothing (the program's buttons
// decide clicks themselves). It takes its window's keyboard focus, where
// Enter and Space press it.
class ButtonGtk final : public Button, public ViewGtk {
public:
    ButtonGtk(ScreenGtk&, const Rect& frame);
    ~ButtonGtk() override;

    void setTitle(const std::string&) override;
    void setFont(const Font&) override;
    void setContentTintColor(const Color&) override;
    void setBordered(bool) override;
    void setLayerBackgroundColor(const Color&) override;
    void setLayerCornerRadius(double) override;
    void setLayerBorderWidth(double) override;
    void setLayerBorderColor(const Color&) override;
    void setToolTip(const std::string&) override;
    void setEventHandler(ButtonEventHandler* handler) override { m_handler = handler; }

    GtkWidget* widget() const override { return m_box; }
    double cornerRadius() const override { return m_cornerRadius; }

private:
    void updateStyle();
    Point pointInScreen(double xRoot, double yRoot) const;
    static gboolean buttonPress(GtkWidget*, GdkEventButton*, ButtonGtk*);
    static gboolean keyPress(GtkWidget*, GdkEventKey*, ButtonGtk*);
    static gboolean motionNotify(GtkWidget*, GdkEventMotion*, ButtonGtk*);
    static gboolean buttonRelease(GtkWidget*, GdkEventButton*, ButtonGtk*);

    ScreenGtk& m_screen;
    GtkWidget* m_box;
    GtkWidget* m_label;
    GtkCssProvider* m_style;
    ButtonEventHandler* m_handler { nullptr };
    bool m_pressed { false };
    Point m_pressLocation;

    Font m_font;
    std::optional<Color> m_tint;
    bool m_bordered { true };
    std::optional<Color> m_fill;
    double m_cornerRadius { 0 };
    double m_borderWidth { 0 };
    std::optional<Color> m_borderColor;
};

} // namespace orvi::gtk
