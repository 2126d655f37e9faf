#pragma once

#include "platform/gtk/ScreenGtk.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// The program's main window, that dialogs belong to: its one ordinary
// window, never a panel such as the bubble. Null when it has none.
GtkWindow* mainWindowOf(GtkApplication*);

// Shows a dialog of the assistant's: titled as its parent, above it like the
// floating assistant itself, in front with the keyboard focus, its grab
// holding only itself (nothing of the program waits for its answer). Over a parent
// that can hold it, it goes wherever the caller has it go; over one too small
// to show it (the collapsed assistant), in the middle of the primary
// monitor's work area instead.
void showDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&);

// Brings a window in front with the keyboard focus, with or without a window
// manager.
void presentWithFocus(GtkWindow*);

} // namespace orvi::gtk
