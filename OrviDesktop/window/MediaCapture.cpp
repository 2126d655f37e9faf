#include "window/OrviWindowController.h"

namespace orvi {

// The camera alone or the microphone alone is granted at once; anything else,
// both together included, is put to the user.
void OrviWindowController::requestMediaCapturePermission(const std::string&, MediaCaptureType type,
    std::function<void(PermissionDecision)> decisionHandler)
{
    bool singleDevice = type == MediaCaptureType::camera || type == MediaCaptureType::microphone;
    decisionHandler(singleDevice ? PermissionDecision::grant : PermissionDecision::prompt);
}

PermissionPrompt OrviWindowController::mediaCapturePrompt(MediaCaptureType type)
{
    const char* devices = type == MediaCaptureType::camera ? "your camera"
        : type == MediaCaptureType::microphone             ? "your microphone"
        : type == MediaCaptureType::cameraAndMicrophone    ? "your camera and microphone"
                                                           : "your screen";
    return { std::string("Allow this page to use ") + devices + "?", "Allow", "Don't Allow" };
}

} // namespace orvi
