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

// One whole question for each kind of request, so that each language words
// it its own way.
PermissionPrompt OrviWindowController::mediaCapturePrompt(MediaCaptureType type)
{
    UIText question = type == MediaCaptureType::camera
        ? UIText("Allow this page to use your camera?")
        : type == MediaCaptureType::microphone ? UIText("Allow this page to use your microphone?")
        : type == MediaCaptureType::cameraAndMicrophone
        ? UIText("Allow this page to use your camera and microphone?")
        : UIText("Allow this page to use your screen?");
    auto& localization = m_platform.localization();
    return { localization.localizedString(question), localization.localizedString(UIText("Allow")),
        localization.localizedString(UIText("Don't Allow")) };
}

} // namespace orvi
