#pragma once

#include "platform/gtk/ScreenGtk.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// The program's main window, that dialogs belong to: its one ordinary
// window, never a panel such as the bubble. Null when it has none.
GtkWindow* mainWindowOf(GtkApplication*);

// Before a dialog is shown: over a parent that can hold it, wherever the
// caller has it go; over one too small to show it (the collapsed assistant),
// in the middle of the primary monitor's work area instead.
void placeDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&);

// Shows the dialog in front with the keyboard focus, with or without a window
// manager.
void presentDialog(GtkWindow* dialog);

} // namespace orvi::gtk
