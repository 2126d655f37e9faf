#pragma once

#include <gtk/gtk.h>

namespace orvi::gtk {

// Where a window is seen and where it takes clicks. A window that shows only
// its content (a clear background) takes the outline of a rounded content:
// clicks outside it go through, and without a compositing manager (no
// transparency) the outline also cuts the window itself. A click-through
// window takes no clicks at all.
class WindowShape {
public:
    explicit WindowShape(GtkWidget* window);
    ~WindowShape();

    WindowShape(const WindowShape&) = delete;
    WindowShape& operator=(const WindowShape&) = delete;

    // A corner radius of 0 (or a window that shows more than its content)
    // gives the whole rectangle.
    void setOutline(double cornerRadius, int width, int height);
    void setClickThrough(bool);

private:
    void apply();

    GtkWidget* m_window;
    cairo_region_t* m_outline { nullptr };
    bool m_clickThrough { false };
};

} // namespace orvi::gtk
