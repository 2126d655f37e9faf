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
// It is the window's delegate, the page's message handler under "orvi", the
// web view's UI and navigation delegate and the screen's delegate. It keeps
// the page alive: a page whose process ends, or that stays stuck, is loaded
// again. It keeps the assistant and the bubble on screens that change.
class OrviWindowController final : public WindowDelegate,
                                   public ScriptMessageHandler,
                                   public WebUIDelegate,
                                   public WebNavigationDelegate,
                                   public ScreenDelegate {
public:
    // Configures the web view, makes and places the window and starts loading
    // the interface. The window comes on screen only with showMainWindow.
    // `buildTimeBundlePath` is where the build put the resource bundle; the
    // page's process may keep `memoryLimit` MiB (0: as the engine sees fit).
    OrviWindowController(Platform&, std::string buildTimeBundlePath, uint64_t memoryLimit = 0);
    ~OrviWindowController() override;

    // A controller is never copied, restored from an archive or made around a
    // window made elsewhere.
    OrviWindowController(const OrviWindowController&) = delete;
    OrviWindowController& operator=(const OrviWindowController&) = delete;

    // The per-user guest member identifier, made and stored on first use.
    static std::string memberID(UserDefaults&);

    // The page's memory limit on a machine with `physicalMemory` bytes, in
    // MiB: a quarter of the machine, at least 1 GiB (the interface needs a
    // few hundred MiB at most, a page running long more), at most 4 GiB.
    static uint64_t memoryLimitFor(uint64_t physicalMemory);

    // Brings the assistant back: the bubble goes, the window takes the whole
    // visible frame (`maximize`) or the frame it had before its last collapse,
    // comes forward with the application active, and the page resumes.
    void showMainWindow(bool maximize);

    // Collapses the assistant into the bubble: the window shrinks to an almost
    // invisible, click-through 2-point square in the work area's bottom-left
    // corner (it stays on screen), the page pauses and the bubble comes
    // forward, taking the keyboard if the assistant had it. Safe to repeat.
    void minimizeToBubble();
    // The bubble's action: the assistant comes back over the whole work area.
    void restoreFromBubble();

    // How long the station may stay on a page other than its interface with
    // nobody using it before the interface comes back; 0 for never.
    void setReturnHomeAfter(double seconds);
    static constexpr double defaultReturnHomeAfter = 5 * 60;

    // The page answered the watch lately (or was loaded lately), waits for its
    // visitor, or is being brought back: the page watch is doing its job.
    bool pageIsLookedAfter() const;

    const Window& window() const { return *m_window; }
    const std::optional<Rect>& savedExpandedFrame() const { return expandedFrame; }
    const Window* bubble() const { return bubblePanel.get(); }

    // WindowDelegate
    bool windowShouldClose() override;
    void windowDidMiniaturize() override;
    void windowDidMove() override;

    // ScreenDelegate
    void screenParametersDidChange() override;

    // ScriptMessageHandler
    void didReceiveScriptMessage(const ScriptMessage&) override;

    // WebUIDelegate
    void requestMediaCapturePermission(const std::string& origin, MediaCaptureType,
        std::function<void(PermissionDecision)> decisionHandler) override;
    PermissionPrompt mediaCapturePrompt(MediaCaptureType) override;
    bool contextMenuMayOffer(ContextMenuItem, bool inEditableField) override;
    void webViewDidOpenPageDialog() override;
    void webViewDidClosePageDialog() override;

    // WebNavigationDelegate
    NavigationActionPolicy decidePolicyForNavigationAction(const NavigationAction&) override;
    NavigationResponsePolicy decidePolicyForNavigationResponse(const NavigationResponse&) override;
    void webViewDidCommitNavigation() override;
    void webViewDidFinishNavigation() override;
    void webViewWebContentProcessDidTerminate(WebContentTermination) override;
    void webViewWebContentProcessDidBecomeUnresponsive() override;
    void webViewWebContentProcessDidBecomeResponsive() override;

private:
    // The size the user may not make the window smaller than.
    static constexpr Size smallestUserSize { 900, 620 };

    // The bubble's window delegate: a bubble the user let go of off the
    // screens comes back onto them, one the window manager minimised comes
    // back at once, and none closes.
    class BubbleDelegate final : public WindowDelegate {
    public:
        explicit BubbleDelegate(OrviWindowController& controller)
            : m_controller(controller)
        {
        }
        bool windowShouldClose() override { return false; }
        void windowDidMiniaturize() override;
        void windowDidMove() override { m_controller.keepBubbleOnScreen(); }

    private:
        OrviWindowController& m_controller;
    };

    void showBubble(bool takeKeyboard);
    void setUpWebContent(uint64_t memoryLimit);
    // Where the collapsed window and the bubble (at first) go on a screen
    // whose visible frame is `area`.
    static Rect collapsedFrame(const Rect& area);
    static Rect bubbleHome(const Rect& area);
    // Brings a bubble that lies off the screens' visible frames back onto them.
    void keepBubbleOnScreen();
    // What the expanded window's `frame` says of the frame the user gave it.
    std::optional<Rect> ownFrameFor(const Rect& frame) const;
    void loadInterface();
    void reloadInterface();
    void considerGoingHome();
    void wayHomeDue();
    // Every `watchInterval` seconds, asks the page to run an empty script.
    void watchPage();
    static constexpr double watchInterval = 5;
    // Runs work after `delay` seconds, unless the controller is gone by then.
    void later(double delay, void (OrviWindowController::*work)());
    double uptime() const;
    std::optional<std::string> resourceURL(const std::string& named, const std::string& extension);
    // The folder the interface page is in.
    std::optional<std::string> interfaceFolder();

    Platform& m_platform;
    ResourceBundle m_resources;
    std::unique_ptr<WebViewConfiguration> m_configuration;

    std::unique_ptr<WebView> webView;
    // Made at the first collapse and kept, so the bubble stays where the user
    // dragged it.
    std::unique_ptr<DraggableOrviBubbleButton> m_bubbleButton;
    BubbleDelegate m_bubbleDelegate { *this };
    std::unique_ptr<Window> bubblePanel;
    std::optional<Rect> expandedFrame;
    std::unique_ptr<Window> m_window;
    bool m_collapsed { false };
    // The frame the user gave the expanded assistant, none while it covers
    // the visible frame; and the same for `expandedFrame`. Screens that
    // shrink move and shrink the window, but what the user chose stays, so
    // the window is as before once the screen is back.
    std::optional<Rect> m_ownFrame;
    std::optional<Rect> m_expandedOwnFrame;

    ReloadSchedule m_reloads;
    bool m_reloadPending { false };
    bool m_reloading { false };
    bool m_endingStuckPage { false };
    double m_pageLoadedAt { 0 };
    double m_pageAnsweredAt { 0 };
    std::optional<double> m_questionAskedAt;
    std::optional<double> m_unresponsiveSince;
    // A page waiting for its visitor to answer its dialog is not stuck.
    bool m_pageDialogOpen { false };
    unsigned m_questions { 0 };

    // The address of what loadInterface loaded last, and since when the main
    // frame has shown something else.
    std::string m_homeURL;
    std::optional<double> m_awayFromHomeSince;
    double m_returnHomeAfter { defaultReturnHomeAfter };
    bool m_wayHomeWatched { false };
    // Work for later holds this weakly and finds it gone with the controller.
    std::shared_ptr<OrviWindowController*> m_weakSelf;
};

} // namespace orvi
