#pragma once

namespace orvi::gtk {

// Adds `sheet` (CSS text with static lifetime) to the style of every widget on
// the default screen, the first time it is asked for; later calls with the same
// sheet do nothing. Without a screen it does nothing and may be asked again.
void addStyleSheetOnce(const char* sheet);

} // namespace orvi::gtk
