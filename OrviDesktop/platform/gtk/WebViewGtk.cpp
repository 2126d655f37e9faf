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
    limitPage();
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
    // What the page before was asked or allowed is not the new page's.
    if (event == WEBKIT_LOAD_COMMITTED) {
        self->m_prompt.close();
        self->m_captureGranted = false;
    }
    if (!self->m_navigationDelegate)
        return;
    if (event == WEBKIT_LOAD_COMMITTED)
        self->m_navigationDelegate->webViewDidCommitNavigation();
    else if (event == WEBKIT_LOAD_FINISHED)
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

std::string WebViewGtk::url() const
{
    const gchar* uri = webkit_web_view_get_uri(m_webView);
    return uri ? uri : "";
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

void WebViewGtk::terminateWebContentProcess()
{
    webkit_web_view_terminate_web_process(m_webView);
}

} // namespace orvi::gtk
