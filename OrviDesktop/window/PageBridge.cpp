#include "window/OrviWindowController.h"

#include "base/URL.h"

namespace orvi {

// The page's messages: {"type": "minimize"}, {"type": "wake"} and
// {"type": "openExternal", "url": "<https or http URL>"}. Anything else (a
// body that is no object, a type that is no string, another type, a URL that
// does not parse or has another scheme) is dropped without a word: the page
// gets no answer either way.
void OrviWindowController::didReceiveScriptMessage(const ScriptMessage& message)
{
    const JsonValue& body = message.body;
    if (!body.is_object())
        return;
    auto type = body.find("type");
    if (type == body.end() || !type->is_string())
        return;

    const auto& name = type->get_ref<const std::string&>();
    if (name == "minimize") {
        minimizeToBubble();
        return;
    }
    if (name == "wake") {
        showMainWindow(true);
        return;
    }
    if (name != "openExternal")
        return;

    auto text = body.find("url");
    if (text == body.end() || !text->is_string())
        return;
    // Only web addresses leave the program: the system would open a file, a
    // launcher or any other scheme with whatever claims it.
    auto url = parseURL(text->get_ref<const std::string&>());
    if (!url || !isWebURL(*url))
        return;
    m_platform.workspace().openURL(url->text);
}

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
