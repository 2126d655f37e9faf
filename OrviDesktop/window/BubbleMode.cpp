#include "window/OrviWindowController.h"

namespace orvi {

// Bubble mode is not built yet; until it is, a minimised window stays
// minimised.
void OrviWindowController::windowDidMiniaturize() { }

} // namespace orvi
