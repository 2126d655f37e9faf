#pragma once

#include "platform/Localization.h"

#include <string>
#include <vector>

namespace orvi::gtk {

// The program's texts through gettext, under the domain "orvi-desktop", from
// the catalogues installed with the program (<prefix>/share/locale for
// <prefix>/bin/orvi-desktop) or, for a program run where it was built, from
// those its build made. Made first, on the main thread, before the command
// line is read: it takes the session's locale for the whole process, so
// --help, GLib's and GTK's own texts and GTK's direction (right to left in
// Arabic) follow it too.
class LocalizationGettext final : public Localization {
public:
    LocalizationGettext();

    std::string localizedString(UIText) const override;

    // The languages the program's texts are looked for in, most wanted first,
    // as web pages name them ("de-DE", "de"); English for the C locale.
    static std::vector<std::string> preferredLanguages();
};

} // namespace orvi::gtk
