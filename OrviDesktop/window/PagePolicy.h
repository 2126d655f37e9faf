#pragma once

#include "platform/WebView.h"

// What a visitor can do with the page beyond the page itself. The station
// stands in a public place: the engine's own ways out of the page (its menu's
// "Open Link in New Window", "Save Image As", "Back", "Inspect Element"; a
// new window from a middle or modified click; a file to save) are closed, and
// only the editing a text field needs is left.
namespace orvi::PagePolicy {

// Cut, copy, paste, delete, select all and the input method and emoji items,
// in an editable field; nothing anywhere else.
bool contextMenuMayOffer(ContextMenuItem, bool inEditableField);

// A load asked for a new window, by a middle click or by a click with a
// modifier (what opens a new window or tab in a browser) opens nothing; any
// other load goes ahead in the main frame.
NavigationActionPolicy policyForAction(const NavigationAction&);

// What is to be saved (an attachment) or cannot be shown is not loaded: the
// page stays as it was.
NavigationResponsePolicy policyForResponse(const NavigationResponse&);

} // namespace orvi::PagePolicy
