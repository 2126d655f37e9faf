#include "platform/gtk/WebViewGtk.h"

#include <utility>

namespace orvi::gtk {

WebViewGtk::WebViewGtk(WebViewConfigurationGtk& configuration, const ScreenGtk& screen)
    : m_context(configuration)
    , m_prompt(screen)
    , m_weakSelf(std::make_shared<WebViewGtk*>(this))
{
    // WebKitGTK lets sound start on its own only under the "allow" autoplay
    // policy; the gesture setting alone still keeps pages silent.
    WebKitWebsitePolicies* policies = webkit_website_policies_new_with_policies("autoplay",
        configuration.mediaPlaybackRequiresUserAction() ? WEBKIT_AUTOPLAY_ALLOW_WITHOUT_SOUND
                                                        : WEBKIT_AUTOPLAY_ALLOW,
        nullptr);
    m_webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context",
        m_context.context(), "user-content-manager", configuration.contentController().manager(),
        "settings", configuration.settings(), "website-policies", policies, nullptr));
    g_object_unref(policies);
    g_object_ref_sink(m_webView);
    g_signal_connect(m_webView, "permission-request", G_CALLBACK(permissionRequest), this);
    g_signal_connect(m_webView, "script-dialog", G_CALLBACK(pageDialogOpened), this);
    g_signal_connect(m_webView, "print", G_CALLBACK(pageDialogOpened), this);
    g_signal_connect(m_webView, "hierarchy-changed", G_CALLBACK(hierarchyChanged), this);
    g_signal_connect(m_webView, "load-changed", G_CALLBACK(loadChanged), this);
    g_signal_connect(m_webView, "web-process-terminated", G_CALLBACK(processTerminated), this);
    g_signal_connect(
        m_webView, "notify::is-web-process-responsive", G_CALLBACK(responsivenessChanged), this);
}

WebViewGtk::~WebViewGtk()
{
    g_signal_handlers_disconnect_by_data(m_webView, this);
    g_object_unref(m_webView);
}

void WebViewGtk::hierarchyChanged(GtkWidget*, GtkWidget*, WebViewGtk* self)
{
    self->applyBackground();
}

void WebViewGtk::loadChanged(WebKitWebView*, WebKitLoadEvent event, WebViewGtk* self)
{
    self->m_committed |= event == WEBKIT_LOAD_COMMITTED;
    if (event == WEBKIT_LOAD_FINISHED && self->m_navigationDelegate)
        self->m_navigationDelegate->webViewDidFinishNavigation();
}

void WebViewGtk::processTerminated(
    WebKitWebView*, WebKitWebProcessTerminationReason reason, WebViewGtk* self)
{
    self->m_pageDialogs = 0;
    if (!self->m_navigationDelegate)
        return;
    self->m_navigationDelegate->webViewWebContentProcessDidTerminate(
        reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
            ? WebContentTermination::exceededMemoryLimit
            : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API ? WebContentTermination::endedByProgram
                                                             : WebContentTermination::crashed);
}

void WebViewGtk::responsivenessChanged(WebKitWebView* view, GParamSpec*, WebViewGtk* self)
{
    if (!self->m_navigationDelegate)
        return;
    if (webkit_web_view_get_is_web_process_responsive(view))
        self->m_navigationDelegate->webViewWebContentProcessDidBecomeResponsive();
    else
        self->m_navigationDelegate->webViewWebContentProcessDidBecomeUnresponsive();
}

void WebViewGtk::setDrawsBackground(bool draws)
{
    m_drawsBackground = draws;
    applyBackground();
}

// Without a background of its own the view must show its window's standard
// background where the page paints nothing. WebKitGTK paints a transparent
// view's empty parts as transparent pixels, which an ordinary (not RGBA)
// window shows as black; so the view takes on its window's background colour
// instead, which looks the same.
void WebViewGtk::applyBackground()
{
    GdkRGBA color { 1, 1, 1, 1 };
    if (!m_drawsBackground) {
        color = GdkRGBA { 0, 0, 0, 0 };
        GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(m_webView));
        if (gtk_widget_is_toplevel(toplevel)) {
            GtkStyleContext* style = gtk_widget_get_style_context(toplevel);
            GdkRGBA* background = nullptr;
            gtk_style_context_get(style, gtk_style_context_get_state(style),
                GTK_STYLE_PROPERTY_BACKGROUND_COLOR, &background, nullptr);
            GdkVisual* visual = gtk_widget_get_visual(toplevel);
            bool seeThrough
                = visual && visual == gdk_screen_get_rgba_visual(gtk_widget_get_screen(toplevel));
            if (background && !seeThrough)
                color = *background;
            if (background)
                gdk_rgba_free(background);
        }
    }
    webkit_web_view_set_background_color(m_webView, &color);
}

void WebViewGtk::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
{
    webkit_web_view_load_html(m_webView, html.c_str(), baseURL ? baseURL->c_str() : nullptr);
}

// Until a page has come in, the view holds only WebKit's empty document, which
// nothing could be meant for; not evaluating there also spares the launch
// starting JavaScriptCore in this process.
void WebViewGtk::evaluateJavaScript(const std::string& script)
{
    if (!m_committed)
        return;
    webkit_web_view_evaluate_javascript(
        m_webView, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void WebViewGtk::evaluateJavaScript(const std::string& script, std::function<void()> ran)
{
    webkit_web_view_evaluate_javascript(
        m_webView, script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void()>> ran(static_cast<std::function<void()>*>(data));
            if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(view), result, nullptr))
                g_object_unref(value);
            (*ran)();
        },
        new std::function<void()>(std::move(ran)));
}

// WebKit shows the dialog (the print dialog a moment later) and the page's
// process waits for the answer, so an empty script runs only once it has it.
gboolean WebViewGtk::pageDialogOpened(WebKitWebView*, gpointer, WebViewGtk* self)
{
    if (self->m_pageDialogs++ == 0 && self->m_uiDelegate)
        self->m_uiDelegate->webViewDidOpenPageDialog();
    self->evaluateJavaScript("0", [weakSelf = std::weak_ptr(self->m_weakSelf)] {
        auto alive = weakSelf.lock();
        WebViewGtk* view = alive ? *alive : nullptr;
        // Not for a dialog of a page whose process has ended since.
        if (view && view->m_pageDialogs > 0 && --view->m_pageDialogs == 0 && view->m_uiDelegate)
            view->m_uiDelegate->webViewDidClosePageDialog();
    });
    return FALSE;
}

void WebViewGtk::terminateWebContentProcess()
{
    webkit_web_view_terminate_web_process(m_webView);
}

namespace {

std::string originOf(WebKitWebView* webView)
{
    const gchar* uri = webkit_web_view_get_uri(webView);
    if (!uri)
        return {};
    WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri);
    gchar* text = webkit_security_origin_to_string(origin);
    std::string result = text ? text : "";
    g_free(text);
    webkit_security_origin_unref(origin);
    return result;
}

MediaCaptureType captureType(WebKitUserMediaPermissionRequest* request)
{
    if (webkit_user_media_permission_is_for_display_device(request))
        return MediaCaptureType::other;
    bool audio = webkit_user_media_permission_is_for_audio_device(request);
    bool video = webkit_user_media_permission_is_for_video_device(request);
    if (audio && video)
        return MediaCaptureType::cameraAndMicrophone;
    if (video)
        return MediaCaptureType::camera;
    if (audio)
        return MediaCaptureType::microphone;
    return MediaCaptureType::other;
}

} // namespace

// Capture requests go to the program's UI delegate. WebKitGTK has no prompt of
// its own (an unanswered request is denied), so the prompt is asked here, in
// the program's words. A
// request for the device list is answered as WebKit does elsewhere: the names
// once the page may capture, none before.
gboolean WebViewGtk::permissionRequest(
    WebKitWebView* webView, WebKitPermissionRequest* request, WebViewGtk* self)
{
    if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) {
        if (self->m_captureGranted)
            webkit_permission_request_allow(request);
        else
            webkit_permission_request_deny(request);
        return TRUE;
    }
    if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request) || !self->m_uiDelegate)
        return FALSE;

    MediaCaptureType type = captureType(WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request));
    g_object_ref(request);
    auto answered = std::make_shared<bool>(false);
    self->m_uiDelegate->requestMediaCapturePermission(
        originOf(webView), type, [self, request, type, answered](PermissionDecision decision) {
            if (*answered)
                return;
            *answered = true;
            self->answer(request, type, decision);
        });
    return TRUE;
}

void WebViewGtk::answer(
    WebKitPermissionRequest* request, MediaCaptureType type, PermissionDecision decision)
{
    if (decision == PermissionDecision::prompt) {
        GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(m_webView));
        // A web origin says who asks; the program's own local page needs no name.
        std::string origin = originOf(m_webView);
        if (origin == "null" || origin.starts_with("file:"))
            origin.clear();
        m_prompt.ask(gtk_widget_is_toplevel(toplevel) ? GTK_WINDOW(toplevel) : nullptr,
            m_uiDelegate->mediaCapturePrompt(type), origin,
            // Refused also while the view goes, which must touch nothing of it.
            [this, request, type](bool allowed) {
                answer(
                    request, type, allowed ? PermissionDecision::grant : PermissionDecision::deny);
            });
        return;
    }
    if (decision == PermissionDecision::grant) {
        m_captureGranted = true;
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
    g_object_unref(request);
}

} // namespace orvi::gtk
