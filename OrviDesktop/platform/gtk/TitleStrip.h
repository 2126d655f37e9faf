#pragma once

#include "platform/gtk/WindowPlacement.h"

#include <gtk/gtk.h>
#include <string>

namespace orvi::gtk {

// The transparent strip that stands where a title bar would be, over the top
// of a window whose content reaches under it. It carries faint close and
// minimise buttons (as the window's style allows) and a button with the
// application's menu, and moves the window when dragged, as a title bar does.
struct TitleStrip {
    GtkWidget* widget { nullptr };
    // The window's title, hidden unless shown.
    GtkWidget* title { nullptr };
    // The buttons there are (null for those the style has not).
    GtkWidget* close { nullptr };
    GtkWidget* minimize { nullptr };
    GtkWidget* menu { nullptr };
};

// Names a strip's button, for its tool tip and for screen readers (a drawn
// glyph has no text).
void nameStripButton(GtkWidget* button, const std::string& name);

// What the strip's buttons call, with `data`.
struct TitleStripActions {
    GCallback close;
    GCallback minimize;
    gpointer data;
};

// `menu` may be null. Dragging the strip moves the window through its
// placement. The strip is not yet in any container.
TitleStrip makeTitleStrip(
    WindowPlacement&, uint32_t styleMask, GMenuModel* menu, const TitleStripActions&);

} // namespace orvi::gtk
