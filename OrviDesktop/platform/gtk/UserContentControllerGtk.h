#pragma once

#include "platform/WebView.h"

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
        std::string name;
    };
    static void messageReceived(WebKitUserContentManager*, WebKitJavascriptResult*, Registration*);

    WebKitUserContentManager* m_manager;
    std::map<std::string, std::unique_ptr<Registration>> m_registrations;
};

} // namespace orvi::gtk
