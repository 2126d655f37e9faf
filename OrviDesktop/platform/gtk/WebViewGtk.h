#pragma once

#include "platform/WebView.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/ViewGtk.h"

#include <map>
#include <memory>
#include <webkit2/webkit2.h>

namespace orvi::gtk {

// Scripts and message handlers on a WebKitUserContentManager. Each name's
// signal is routed to the handler registered under it at the moment the
// message arrives.
class UserContentControllerGtk final : public UserContentController {
public:
    UserContentControllerGtk();
    ~UserContentControllerGtk() override;

    void addUserScript(
        const std::string& source, UserScriptInjectionTime, bool forMainFrameOnly) override;
    void addScriptMessageHandler(ScriptMessageHandler&, const std::string& name) override;
    void removeScriptMessageHandlerForName(const std::string& name) override;

    WebKitUserContentManager* manager() const { return m_manager; }

private:
    struct Registration {
        ScriptMessageHandler* handler;
        gulong signalID;
        UserContentControllerGtk* owner;
        std::string name;
    };
    static void messageReceived(WebKitUserContentManager*, WebKitJavascriptResult*, Registration*);

    WebKitUserContentManager* m_manager;
    std::map<std::string, std::unique_ptr<Registration>> m_registrations;
};

class WebViewConfigurationGtk final : public WebViewConfiguration {
public:
    WebViewConfigurationGtk();
    ~WebViewConfigurationGtk() override;

    void setAllowsContentJavaScript(bool) override;
    void setMediaPlaybackRequiresUserAction(bool) override;
    void setMediaStreamEnabled(bool) override;
    UserContentController& userContentController() override { return m_contentController; }

    WebKitSettings* settings() const { return m_settings; }
    UserContentControllerGtk& contentController() { return m_contentController; }
    bool mediaPlaybackRequiresUserAction() const { return m_mediaPlaybackRequiresUserAction; }

private:
    WebKitSettings* m_settings;
    UserContentControllerGtk m_contentController;
    bool m_mediaPlaybackRequiresUserAction { true };
};

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
    void evaluateJavaScript(const std::string& script) override;
    void evaluateJavaScript(const std::string& script, std::function<void()> ran) override;
    void terminateWebContentProcess() override;

    GtkWidget* widget() const override { return GTK_WIDGET(m_webView); }

private:
    static gboolean permissionRequest(WebKitWebView*, WebKitPermissionRequest*, WebViewGtk*);
    static gboolean pageDialogOpened(WebKitWebView*, gpointer, WebViewGtk*);
    void applyBackground();
    void answer(WebKitPermissionRequest*, MediaCaptureType, PermissionDecision);
    void prompt(WebKitPermissionRequest*, MediaCaptureType);
    static void promptAnswered(GtkDialog*, gint response, WebViewGtk*);

    const ScreenGtk& m_screen;
    WebKitWebView* m_webView;
    WebUIDelegate* m_uiDelegate { nullptr };
    WebNavigationDelegate* m_navigationDelegate { nullptr };
    bool m_drawsBackground { true };
    bool m_committed { false };
    // Once the page may capture, it may also see the names of the devices.
    bool m_captureGranted { false };
    // The one capture question on screen, with the request it answers.
    GtkWidget* m_promptDialog { nullptr };
    WebKitPermissionRequest* m_promptedRequest { nullptr };
    // The page's own dialogs still open.
    int m_pageDialogs { 0 };
    // Answers that come after the view is gone find it gone.
    std::shared_ptr<WebViewGtk*> m_weakSelf;
};

} // namespace orvi::gtk
