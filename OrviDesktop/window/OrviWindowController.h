#pragma once

#include "platform/Platform.h"
#include "window/DraggableOrviBubbleButton.h"
#include "window/ReloadSchedule.h"
#include "window/ResourceBundle.h"

#include <memory>
#include <optional>
#include <string>

namespace orvi {

// Owns the assistant window, the web view that fills it and, from the first
// collapse on, the bubble panel. There is one per process; it is made when
// launching finishes and lives until the process ends. Main thread only.
//
// It is the window's delegate, the page's message handler under "orvi" and
// the web view's UI and navigation delegate. It keeps the page alive: a page
// whose process ends, or that stays stuck, is loaded again.
class OrviWindowController final : public WindowDelegate,
                                   public ScriptMessageHandler,
                                   public WebUIDelegate,
                                   public WebNavigationDelegate {
public:
    // Configures the web view, makes and places the window and starts loading
    // the interface. The window comes on screen only with showMainWindow.
    // `buildTimeBundlePath` is where the build put the resource bundle.
    OrviWindowController(Platform&, std::string buildTimeBundlePath);
    ~OrviWindowController() override;

    // A controller is never copied, restored from an archive or made around a
    // window made elsewhere.
    OrviWindowController(const OrviWindowController&) = delete;
    OrviWindowController& operator=(const OrviWindowController&) = delete;

    // The per-user guest member identifier, made and stored on first use.
    static std::string memberID(UserDefaults&);

    // Brings the assistant back: the bubble goes, the window takes the whole
    // visible frame (`maximize`) or the frame it had before its last collapse,
    // comes forward with the application active, and the page resumes.
    void showMainWindow(bool maximize);

    // Collapses the assistant into the bubble: the window shrinks to an almost
    // invisible, click-through 2-point square in the work area's bottom-left
    // corner (it stays on screen), the page pauses and the bubble comes
    // forward. Safe to repeat.
    void minimizeToBubble();
    // The bubble's action: the assistant comes back over the whole work area.
    void restoreFromBubble();

    const Window& window() const { return *m_window; }
    const std::optional<Rect>& savedExpandedFrame() const { return expandedFrame; }
    const Window* bubble() const { return bubblePanel.get(); }

    // WindowDelegate
    bool windowShouldClose() override;
    void windowDidMiniaturize() override;

    // ScriptMessageHandler
    void didReceiveScriptMessage(const ScriptMessage&) override;

    // WebUIDelegate
    void requestMediaCapturePermission(const std::string& origin, MediaCaptureType,
        std::function<void(PermissionDecision)> decisionHandler) override;

    // WebNavigationDelegate
    void webViewDidFinishNavigation() override;
    void webViewWebContentProcessDidTerminate() override;
    void webViewWebContentProcessDidBecomeUnresponsive() override;
    void webViewWebContentProcessDidBecomeResponsive() override;

private:
    void showBubble();
    void loadInterface();
    void reloadInterface();
    // Every `watchInterval` seconds, asks the page to run an empty script.
    void watchPage();
    static constexpr double watchInterval = 5;
    // Runs work after `delay` seconds, unless the controller is gone by then.
    void later(double delay, void (OrviWindowController::*work)());
    double uptime() const;
    std::optional<std::string> resourceURL(const std::string& named, const std::string& extension);

    Platform& m_platform;
    ResourceBundle m_resources;
    std::unique_ptr<WebViewConfiguration> m_configuration;

    std::unique_ptr<WebView> webView;
    // Made at the first collapse and kept, so the bubble stays where the user
    // dragged it.
    std::unique_ptr<DraggableOrviBubbleButton> m_bubbleButton;
    std::unique_ptr<Window> bubblePanel;
    std::optional<Rect> expandedFrame;
    std::unique_ptr<Window> m_window;
    bool m_collapsed { false };

    ReloadSchedule m_reloads;
    bool m_reloadPending { false };
    bool m_reloading { false };
    std::optional<double> m_questionAskedAt;
    std::optional<double> m_unresponsiveSince;
    unsigned m_questions { 0 };
    // Work for later holds this weakly and finds it gone with the controller.
    std::shared_ptr<OrviWindowController*> m_weakSelf;
};

} // namespace orvi
