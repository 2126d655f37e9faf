#pragma once

#include "platform/gtk/WindowPlacement.h"

#include <gtk/gtk.h>

namespace orvi::gtk {

// Thin strips along the edges and corners of a window drawn without the
// window manager's frame, over its content: near an edge the pointer shows the
// matching resize cursor, and a press there resizes the window through its
// placement as the edge of its frame would (within the window's minimum
// size). The strips draw nothing, so the content stays as it is.
void addResizeEdges(GtkOverlay*, WindowPlacement&);

} // namespace orvi::gtk
