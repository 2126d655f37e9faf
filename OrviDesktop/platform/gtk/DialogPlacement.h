#pragma once

#include "platform/gtk/ScreenGtk.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// The program's main window, that dialogs belong to: its one ordinary
// window, never a panel such as the bubble. Null when it has none.
GtkWindow* mainWindowOf(GtkApplication*);

// Shows a dialog of the assistant's: titled as its parent, above everything
// of the program's (see DisplayServer::placeDialog), in front with the
// keyboard focus, its grab holding only itself (nothing of the program waits
// for its answer).
void showDialog(GtkWindow* dialog, GtkWindow* parent, const ScreenGtk&);

} // namespace orvi::gtk
