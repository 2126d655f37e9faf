#pragma once

#include <gtk/gtk.h>

namespace orvi::gtk {

// Implemented by every view this backend makes, so a window can take it as
// its content.
class ViewGtk {
public:
    virtual ~ViewGtk() = default;
    virtual GtkWidget* widget() const = 0;
    // A view drawn as a rounded rectangle gives its window that shape when
    // the window has a clear background.
    virtual double cornerRadius() const { return 0; }
};

} // namespace orvi::gtk
