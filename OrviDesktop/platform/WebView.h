#pragma once

#include "platform/Json.h"
#include "platform/View.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvi {

// A message the page posted with window.webkit.messageHandlers.<name>.postMessage.
struct ScriptMessage {
    std::string name;
    // The posted value as JSON; null for a value JSON cannot express.
    JsonValue body;
};

// Receives the messages the page posts under one name. Called on the main
// thread.
class ScriptMessageHandler {
public:
    virtual ~ScriptMessageHandler() = default;
    virtual void didReceiveScriptMessage(const ScriptMessage&) = 0;
};

enum class UserScriptInjectionTime { atDocumentStart = 0, atDocumentEnd = 1 };

// The scripts and message handlers of the pages a web view shows.
class UserContentController {
public:
    virtual ~UserContentController() = default;

    virtual void addUserScript(
        const std::string& source, UserScriptInjectionTime, bool forMainFrameOnly)
        = 0;
    // The handler is not owned and must stay alive while registered. One
    // handler per name: remove the old one before adding another.
    virtual void addScriptMessageHandler(ScriptMessageHandler&, const std::string& name) = 0;
    virtual void removeScriptMessageHandlerForName(const std::string& name) = 0;
};

// How a web view is made. Set everything before making the web view.
class WebViewConfiguration {
public:
    virtual ~WebViewConfiguration() = default;

    virtual void setAllowsContentJavaScript(bool) = 0;
    // False lets audio and video start without a click or key press.
    virtual void setMediaPlaybackRequiresUserAction(bool) = 0;
    // Camera and microphone access for pages (navigator.mediaDevices).
    virtual void setMediaStreamEnabled(bool) = 0;
    // The most memory a page's process may keep, in MiB; one that cannot get
    // back under it is ended. 0 leaves it to the engine.
    virtual void setMemoryLimit(uint64_t mebibytes) = 0;
    // Runs the pages' processes in a sandbox, away from the user's files and
    // the rest of the system. Returns why it cannot on this machine (the pages
    // then run without it), or nothing.
    virtual std::optional<std::string> sandboxWebContent() = 0;
    // A folder the sandboxed pages may read: the interface's own.
    virtual void allowReadingFolder(const std::string& path) = 0;
    virtual UserContentController& userContentController() = 0;
};

enum class MediaCaptureType { camera = 0, microphone = 1, cameraAndMicrophone = 2, other = 3 };

enum class PermissionDecision { prompt = 0, grant = 1, deny = 2 };

// What the user is asked when a request is put to them.
struct PermissionPrompt {
    std::string question;
    std::string allow;
    std::string deny;
};

// Why the process running the page ended.
enum class WebContentTermination { crashed, exceededMemoryLimit, endedByProgram };

// The engine's own items in a page's context menu, as far as the program
// tells them apart: editing items by name, all the rest (opening, saving,
// copying addresses, going back, reloading, inspecting, spelling, fonts) as
// `other`.
enum class ContextMenuItem {
    cut,
    copy,
    paste,
    pasteAsPlainText,
    deleteSelection,
    selectAll,
    inputMethods,
    unicodeControlCharacter,
    emoji,
    other,
};

// The values of the platform the program comes from.
enum class NavigationType {
    linkActivated = 0,
    formSubmitted = 1,
    backForward = 2,
    reload = 3,
    formResubmitted = 4,
    other = -1,
};

namespace EventModifierFlags {
constexpr uint32_t shift = 1 << 17;
constexpr uint32_t control = 1 << 18;
constexpr uint32_t option = 1 << 19;
// The logo key on Linux.
constexpr uint32_t command = 1 << 20;
} // namespace EventModifierFlags

// A load the page (or the program) is about to start in the main frame, or one
// the page asks to open in a new window.
struct NavigationAction {
    NavigationType navigationType { NavigationType::other };
    // The mouse button that activated a link: 1 the primary, 2 the middle, 3
    // the secondary; 0 for none.
    unsigned buttonNumber { 0 };
    uint32_t modifierFlags { 0 };
    // A target="_blank" link, window.open or anything else that asks for a
    // window of its own.
    bool targetsNewWindow { false };
};

enum class NavigationActionPolicy { cancel = 0, allow = 1 };

// What the server answered for a load of a frame's document.
struct NavigationResponse {
    bool canShowMIMEType { true };
    // Sent as an attachment (Content-Disposition), that is, to be saved.
    bool isAttachment { false };
};

enum class NavigationResponsePolicy { cancel = 0, allow = 1 };

// Requests of the page that need the program's judgement. Main thread only.
class WebUIDelegate {
public:
    virtual ~WebUIDelegate() = default;

    // The handler must be called exactly once. `prompt` hands the question to
    // the user, in the words of mediaCapturePrompt.
    virtual void requestMediaCapturePermission(const std::string& origin, MediaCaptureType,
        std::function<void(PermissionDecision)> decisionHandler)
        = 0;
    virtual PermissionPrompt mediaCapturePrompt(MediaCaptureType) = 0;
    // Whether the page's context menu may offer an item of the engine's,
    // where the menu is asked for in an editable field or elsewhere. A menu
    // left with nothing is not shown; the page's own contextmenu handlers
    // run either way.
    virtual bool contextMenuMayOffer(ContextMenuItem, bool inEditableField) = 0;
    // The page opened a dialog of its own (an alert, a confirmation, a
    // question) and waits for the visitor's answer; later, it has
    // its answer and runs again. Nothing of the page runs in between.
    virtual void webViewDidOpenPageDialog() = 0;
    virtual void webViewDidClosePageDialog() = 0;
};

// What happens to the page and the process that runs it. Main thread only.
class WebNavigationDelegate {
public:
    virtual ~WebNavigationDelegate() = default;

    // Asked before each load: canceled, it does not start and the page stays
    // as it is.
    virtual NavigationActionPolicy decidePolicyForNavigationAction(const NavigationAction&) = 0;
    // Asked once the server has answered: canceled, the load ends and the page
    // stays as it was.
    virtual NavigationResponsePolicy decidePolicyForNavigationResponse(const NavigationResponse&)
        = 0;
    // A new document is shown in the main frame (one that loadHTMLString gave,
    // a page that a link led to, the engine's error page for a load that
    // failed): url() says which. Moving within a document (an anchor,
    // history.pushState) is no new document.
    virtual void webViewDidCommitNavigation() = 0;
    // The page loaded by loadHTMLString has finished loading.
    virtual void webViewDidFinishNavigation() = 0;
    // The process running the page ended (it crashed, ran out of memory, was
    // killed or was ended by terminateWebContentProcess). The view keeps its
    // last picture, and nothing runs, until a page is loaded again.
    virtual void webViewWebContentProcessDidTerminate(WebContentTermination) = 0;
    // The process stopped handling input in time, or handles it again.
    virtual void webViewWebContentProcessDidBecomeUnresponsive() = 0;
    virtual void webViewWebContentProcessDidBecomeResponsive() = 0;
};

// Whatever the delegates say, a web view never opens another view (a request
// for a new window opens nothing), shows no file chooser (a file field gets
// no file), prints nothing and downloads nothing (a download ends as if
// canceled), as the platform the program comes from does for delegates that
// ask for none of it.
class WebView : public View {
public:
    // Paint nothing where the page paints nothing, so the window shows through.
    virtual void setDrawsBackground(bool) = 0;
    // Not owned; may be null.
    virtual void setUIDelegate(WebUIDelegate*) = 0;
    // Not owned; may be null.
    virtual void setNavigationDelegate(WebNavigationDelegate*) = 0;

    // Loads the text as an HTML document; relative references resolve
    // against `baseURL` (a file URL of a folder), or nothing when absent.
    virtual void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
        = 0;
    // The address of the main frame's document, as the engine has it: from
    // a loadHTMLString on, its base URL (or the engine's empty document's
    // address without one).
    virtual std::string url() const = 0;
    // Runs the script in the page without waiting; results and errors are
    // dropped.
    virtual void evaluateJavaScript(const std::string& script) = 0;
    // The same, and `ran` is called on the main thread once the page has run
    // the script (or failed to): never while the page is stuck.
    virtual void evaluateJavaScript(const std::string& script, std::function<void()> ran) = 0;
    // Ends the process running the page; the delegate hears of it as of any
    // other end.
    virtual void terminateWebContentProcess() = 0;
};

} // namespace orvi
