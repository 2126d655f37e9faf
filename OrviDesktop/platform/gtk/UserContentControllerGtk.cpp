#include "platform/gtk/UserContentControllerGtk.h"

namespace orvi::gtk {

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
    auto registration = std::make_unique<Registration>(Registration { &handler, 0, name });
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

} // namespace orvi::gtk
