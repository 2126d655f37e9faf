#include "platform/gtk/WebViewGtk.h"

#include <filesystem>

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
    // Without a GPU, compositing goes through software GL, which costs much
    // memory for no gain (see bench/README.md); draw in software instead.
    std::error_code error;
    bool hasRenderNode = false;
    for (auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().starts_with("renderD"))
            hasRenderNode = true;
    }
    if (!hasRenderNode)
        webkit_settings_set_hardware_acceleration_policy(
            m_settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
#ifdef ORVI_TEST_MOCK_CAPTURE_DEVICES
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

WebViewGtk::WebViewGtk(WebViewConfigurationGtk& configuration)
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
}

WebViewGtk::~WebViewGtk()
{
    g_signal_handlers_disconnect_by_data(m_webView, this);
    g_object_unref(m_webView);
}

void WebViewGtk::setDrawsBackground(bool draws)
{
    GdkRGBA color = draws ? GdkRGBA { 1, 1, 1, 1 } : GdkRGBA { 0, 0, 0, 0 };
    webkit_web_view_set_background_color(m_webView, &color);
}

void WebViewGtk::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
{
    webkit_web_view_load_html(m_webView, html.c_str(), baseURL ? baseURL->c_str() : nullptr);
}

void WebViewGtk::evaluateJavaScript(const std::string& script)
{
    webkit_web_view_evaluate_javascript(
        m_webView, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

gboolean WebViewGtk::permissionRequest(WebKitWebView*, WebKitPermissionRequest*, WebViewGtk*)
{
    // Left to WebKit, which denies, until the program answers capture
    // requests itself.
    return FALSE;
}

} // namespace orvi::gtk
