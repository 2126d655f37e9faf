#pragma once

#include "platform/WebView.h"

namespace orvi {

// Holds the page's message name while the window controller is being made,
// and ignores everything it is sent.
class NullMessageHandler final : public ScriptMessageHandler {
public:
    void didReceiveScriptMessage(const ScriptMessage&) override { }
};

} // namespace orvi
