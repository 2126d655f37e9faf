#include "window/OrviWindowController.h"

namespace orvi {

// The page's messages and its camera and microphone requests are answered by
// the page bridge, which is not built yet: until then messages are dropped and
// capture requests are left to the user.
void OrviWindowController::didReceiveScriptMessage(const ScriptMessage&) { }

void OrviWindowController::requestMediaCapturePermission(
    const std::string&, MediaCaptureType, std::function<void(PermissionDecision)> decisionHandler)
{
    decisionHandler(PermissionDecision::prompt);
}

} // namespace orvi
