#pragma once

namespace orvi {

// The application identifier: the GTK application id (which makes a second
// launch reach the running one), the D-Bus name, the start-at-login entry's
// name and the folder of the user's settings. It never changes.
inline constexpr const char* appIdentifier = "ai.orvi.orvi-desktop";

} // namespace orvi
