#pragma once

#include "platform/WebView.h"
#include "platform/gtk/MediaCapturePromptGtk.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/ViewGtk.h"
#include "platform/gtk/WebContextGtk.h"
#include "platform/gtk/WebViewConfigurationGtk.h"

#include <memory>
#include <webkit2/webkit2.h>

namespace orvi::gtk {

// A WebKitWebView in a web context of its own (see WebContextGtk.h). What
// happens to the page and its process, and whether a load may go ahead, goes
// to the navigation delegate; capture requests, the page's own dialogs and
// what its context menu may offer to the UI delegate. Its operations are
// spread by topic: MediaCaptureRequestsGtk.cpp, PageLimitsGtk.cpp.
class WebViewGtk final : public WebView, public ViewGtk {
public:
    WebViewGtk(WebViewConfigurationGtk&, const ScreenGtk&);
    ~WebViewGtk() override;

    void setDrawsBackground(bool) override;
    void setUIDelegate(WebUIDelegate* delegate) override { m_uiDelegate = delegate; }
    void setNavigationDelegate(WebNavigationDelegate* delegate) override
    {
        m_navigationDelegate = delegate;
    }
    void loadHTMLString(
        const std::string& html, const std::optional<std::string>& baseURL) override;
    std::string url() const override;
    void evaluateJavaScript(const std::string& script) override;
    void evaluateJavaScript(const std::string& script, std::function<void()> ran) override;
    void terminateWebContentProcess() override;

    GtkWidget* widget() const override { return GTK_WIDGET(m_webView); }

private:
    void applyBackground();
    void limitPage();
    void answer(WebKitPermissionRequest*, MediaCaptureType, PermissionDecision);

    static void hierarchyChanged(GtkWidget*, GtkWidget*, WebViewGtk*);
    static void loadChanged(WebKitWebView*, WebKitLoadEvent, WebViewGtk*);
    static void processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, WebViewGtk*);
    static void responsivenessChanged(WebKitWebView*, GParamSpec*, WebViewGtk*);
    static gboolean permissionRequest(WebKitWebView*, WebKitPermissionRequest*, WebViewGtk*);
    static gboolean pageDialogOpened(WebKitWebView*, WebKitScriptDialog*, WebViewGtk*);
    static gboolean contextMenu(
        WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, WebViewGtk*);
    static gboolean decidePolicy(
        WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, WebViewGtk*);

    WebContextGtk m_context;
    WebKitWebView* m_webView;
    MediaCapturePromptGtk m_prompt;
    WebUIDelegate* m_uiDelegate { nullptr };
    WebNavigationDelegate* m_navigationDelegate { nullptr };
    bool m_drawsBackground { true };
    bool m_committed { false };
    // Once the page may capture, it may also see the names of the devices.
    bool m_captureGranted { false };
    // The page's own dialogs still open.
    int m_pageDialogs { 0 };
    // Answers that come after the view is gone find it gone.
    std::shared_ptr<WebViewGtk*> m_weakSelf;
};

} // namespace orvi::gtk
