#include "platform/gtk/WebViewGtk.h"

#include "platform/gtk/DialogPlacement.h"

#include <filesystem>
#include <utility>

namespace orvi::gtk {

// UserContentControllerGtk

UserContentControllerGtk::UserContentControllerGtk()
    : m_manager(webkit_user_content_manager_new())
{
}

UserContentControllerGtk::~UserContentControllerGtk()
{
    for (auto& [name, registration] : m_registrations) {
        g_signal_handler_disconnect(m_manager, registration->signalID);
        webkit_user_content_manager_unregister_script_message_handler(m_manager, name.c_str());
    }
    g_object_unref(m_manager);
}

void UserContentControllerGtk::addUserScript(
    const std::string& source, UserScriptInjectionTime time, bool forMainFrameOnly)
{
    WebKitUserScript* script = webkit_user_script_new(source.c_str(),
        forMainFrameOnly ? WEBKIT_USER_CONTENT_INJECT_TOP_FRAME
                         : WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        time == UserScriptInjectionTime::atDocumentStart
            ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
            : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
        nullptr, nullptr);
    webkit_user_content_manager_add_script(m_manager, script);
    webkit_user_script_unref(script);
}

void UserContentControllerGtk::addScriptMessageHandler(
    ScriptMessageHandler& handler, const std::string& name)
{
    if (m_registrations.count(name))
        return;
    auto registration = std::make_unique<Registration>(Registration { &handler, 0, this, name });
    // Connected before registering, so no message can slip past.
    std::string signal = "script-message-received::" + name;
    registration->signalID = g_signal_connect(
        m_manager, signal.c_str(), G_CALLBACK(messageReceived), registration.get());
    webkit_user_content_manager_register_script_message_handler(m_manager, name.c_str());
    m_registrations.emplace(name, std::move(registration));
}

void UserContentControllerGtk::removeScriptMessageHandlerForName(const std::string& name)
{
    auto found = m_registrations.find(name);
    if (found == m_registrations.end())
        return;
    webkit_user_content_manager_unregister_script_message_handler(m_manager, name.c_str());
    g_signal_handler_disconnect(m_manager, found->second->signalID);
    m_registrations.erase(found);
}

// The posted value crosses as JSON. A value JSON cannot express (a function,
// undefined, a cycle) arrives as null, which no handler acts on.
void UserContentControllerGtk::messageReceived(
    WebKitUserContentManager*, WebKitJavascriptResult* result, Registration* registration)
{
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    ScriptMessage message { registration->name, nullptr };
    if (gchar* json = jsc_value_to_json(value, 0)) {
        message.body = JsonValue::parse(json, nullptr, false);
        if (message.body.is_discarded())
            message.body = nullptr;
        g_free(json);
    } else if (JSCContext* context = jsc_value_get_context(value)) {
        jsc_context_clear_exception(context);
    }
    // The handler may remove itself while handling the message; the
    // registration must not be touched after this call.
    registration->handler->didReceiveScriptMessage(message);
}

// WebViewConfigurationGtk

WebViewConfigurationGtk::WebViewConfigurationGtk()
    : m_settings(webkit_settings_new())
{
    // Without a GPU, compositing goes through software GL: measured on such a
    // machine, the process tree took about 450 MiB instead of 235 MiB, and
    // more CPU time before the page loaded (bench/README.md). Draw in
    // software instead.
    std::error_code error;
    bool hasRenderNode = false;
    for (auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().starts_with("renderD"))
            hasRenderNode = true;
    }
    if (!hasRenderNode)
        webkit_settings_set_hardware_acceleration_policy(
            m_settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
#ifdef ORVI_TEST_HOOKS
    // Test builds only: machines without a camera or microphone still get
    // capture requests.
    webkit_settings_set_enable_mock_capture_devices(m_settings, TRUE);
#endif
}

WebViewConfigurationGtk::~WebViewConfigurationGtk()
{
    g_object_unref(m_settings);
}

void WebViewConfigurationGtk::setAllowsContentJavaScript(bool allowed)
{
    webkit_settings_set_enable_javascript_markup(m_settings, allowed);
}

void WebViewConfigurationGtk::setMediaPlaybackRequiresUserAction(bool required)
{
    m_mediaPlaybackRequiresUserAction = required;
    webkit_settings_set_media_playback_requires_user_gesture(m_settings, required);
}

void WebViewConfigurationGtk::setMediaStreamEnabled(bool enabled)
{
    webkit_settings_set_enable_media_stream(m_settings, enabled);
}

// WebViewGtk

WebViewGtk::WebViewGtk(WebViewConfigurationGtk& configuration, const ScreenGtk& screen)
    : m_screen(screen)
    , m_weakSelf(std::make_shared<WebViewGtk*>(this))
{
    // WebKitGTK lets sound start on its own only under the "allow" autoplay
    // policy; the gesture setting alone still keeps pages silent.
    WebKitWebsitePolicies* policies = webkit_website_policies_new_with_policies("autoplay",
        configuration.mediaPlaybackRequiresUserAction() ? WEBKIT_AUTOPLAY_ALLOW_WITHOUT_SOUND
                                                        : WEBKIT_AUTOPLAY_ALLOW,
        nullptr);
    m_webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager",
        configuration.contentController().manager(), "settings", configuration.settings(),
        "website-policies", policies, nullptr));
    g_object_unref(policies);
    g_object_ref_sink(m_webView);
    g_signal_connect(m_webView, "permission-request", G_CALLBACK(permissionRequest), this);
    g_signal_connect(m_webView, "script-dialog", G_CALLBACK(pageDialogOpened), this);
    g_signal_connect(m_webView, "print", G_CALLBACK(pageDialogOpened), this);
    g_signal_connect_swapped(m_webView, "hierarchy-changed",
        G_CALLBACK(+[](WebViewGtk* self) { self->applyBackground(); }), this);
    g_signal_connect(m_webView, "load-changed",
        G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, WebViewGtk* self) {
            self->m_committed |= event == WEBKIT_LOAD_COMMITTED;
            if (event == WEBKIT_LOAD_FINISHED && self->m_navigationDelegate)
                self->m_navigationDelegate->webViewDidFinishNavigation();
        }),
        this);
    g_signal_connect(m_webView, "web-process-terminated",
        G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason, WebViewGtk* self) {
            if (self->m_navigationDelegate)
                self->m_navigationDelegate->webViewWebContentProcessDidTerminate();
        }),
        this);
    g_signal_connect(m_webView, "notify::is-web-process-responsive",
        G_CALLBACK(+[](WebKitWebView* view, GParamSpec*, WebViewGtk* self) {
            if (!self->m_navigationDelegate)
                return;
            if (webkit_web_view_get_is_web_process_responsive(view))
                self->m_navigationDelegate->webViewWebContentProcessDidBecomeResponsive();
            else
                self->m_navigationDelegate->webViewWebContentProcessDidBecomeUnresponsive();
        }),
        this);
}

WebViewGtk::~WebViewGtk()
{
    if (m_promptDialog)
        gtk_widget_destroy(m_promptDialog);
    g_signal_handlers_disconnect_by_data(m_webView, this);
    g_object_unref(m_webView);
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
        if (view && --view->m_pageDialogs == 0 && view->m_uiDelegate)
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

const char* devicesText(MediaCaptureType type)
{
    switch (type) {
    case MediaCaptureType::camera:
        return "your camera";
    case MediaCaptureType::microphone:
        return "your microphone";
    case MediaCaptureType::cameraAndMicrophone:
        return "your camera and microphone";
    case MediaCaptureType::other:
        break;
    }
    return "your screen";
}

} // namespace

// Capture requests go to the program's UI delegate. WebKitGTK has no prompt of
// its own (an unanswered request is denied), so a prompt is asked here. A
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
    switch (decision) {
    case PermissionDecision::grant:
        m_captureGranted = true;
        webkit_permission_request_allow(request);
        break;
    case PermissionDecision::deny:
        webkit_permission_request_deny(request);
        break;
    case PermissionDecision::prompt:
        prompt(request, type);
        return;
    }
    g_object_unref(request);
}

// A modal question over the assistant. Only one is shown at a time: a request
// that comes while one is open is denied.
void WebViewGtk::prompt(WebKitPermissionRequest* request, MediaCaptureType type)
{
    if (m_promptDialog) {
        webkit_permission_request_deny(request);
        g_object_unref(request);
        return;
    }
    GtkWindow* parent = GTK_WINDOW(gtk_widget_get_toplevel(GTK_WIDGET(m_webView)));
    if (!gtk_widget_is_toplevel(GTK_WIDGET(parent)))
        parent = nullptr;
    std::string origin = originOf(m_webView);
    m_promptDialog = gtk_message_dialog_new(parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_QUESTION,
        GTK_BUTTONS_NONE, "Allow this page to use %s?", devicesText(type));
    // A web origin says who asks; the program's own local page needs no name.
    if (!origin.empty() && origin != "null" && !origin.starts_with("file:"))
        gtk_message_dialog_format_secondary_text(
            GTK_MESSAGE_DIALOG(m_promptDialog), "%s", origin.c_str());
    gtk_dialog_add_button(GTK_DIALOG(m_promptDialog), "Don't Allow", GTK_RESPONSE_REJECT);
    gtk_dialog_add_button(GTK_DIALOG(m_promptDialog), "Allow", GTK_RESPONSE_ACCEPT);
    gtk_dialog_set_default_response(GTK_DIALOG(m_promptDialog), GTK_RESPONSE_ACCEPT);
    if (parent)
        gtk_window_set_title(GTK_WINDOW(m_promptDialog), gtk_window_get_title(parent));
    // Above the floating assistant, like the assistant itself.
    gtk_window_set_keep_above(GTK_WINDOW(m_promptDialog), TRUE);
    placeDialog(GTK_WINDOW(m_promptDialog), parent, m_screen);
    m_promptedRequest = request;
    g_signal_connect(m_promptDialog, "response", G_CALLBACK(promptAnswered), this);
    // The question may go before it is answered: with the window it belongs
    // to when the program quits, whichever goes first. Nothing is allowed then.
    g_signal_connect_swapped(m_promptDialog, "destroy", G_CALLBACK(+[](WebViewGtk* self) {
        self->m_promptDialog = nullptr;
        if (WebKitPermissionRequest* request = std::exchange(self->m_promptedRequest, nullptr)) {
            webkit_permission_request_deny(request);
            g_object_unref(request);
        }
    }),
        this);
    presentDialog(GTK_WINDOW(m_promptDialog));
}

// Allow grants, anything else (Don't Allow, Escape, closing) denies.
void WebViewGtk::promptAnswered(GtkDialog* dialog, gint response, WebViewGtk* self)
{
    WebKitPermissionRequest* request = self->m_promptedRequest;
    self->m_promptedRequest = nullptr;
    self->m_promptDialog = nullptr;
    g_signal_handlers_disconnect_by_data(dialog, self);
    gtk_widget_destroy(GTK_WIDGET(dialog));
    if (response == GTK_RESPONSE_ACCEPT) {
        self->m_captureGranted = true;
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
    g_object_unref(request);
}

} // namespace orvi::gtk
