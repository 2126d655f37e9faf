#pragma once

#include "platform/Alert.h"
#include "platform/Application.h"
#include "platform/Button.h"
#include "platform/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/MainBundle.h"
#include "platform/MainQueue.h"
#include "platform/ProcessInfo.h"
#include "platform/Screen.h"
#include "platform/Supervisor.h"
#include "platform/URLSession.h"
#include "platform/UserDefaults.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <memory>

namespace orvi {

// Everything the program asks of the operating system. One per process (or
// one per test); the services live as long as it does. Main thread only,
// except MainQueue::async, MainBundle's reads, URLSession::dataTask and the
// event log.
class Platform {
public:
    virtual ~Platform() = default;

    virtual Application& application() = 0;
    virtual Screen& screen() = 0;
    virtual ProcessInfo& processInfo() = 0;
    virtual MainQueue& mainQueue() = 0;
    virtual UserDefaults& userDefaults() = 0;
    virtual Workspace& workspace() = 0;
    virtual FileSystem& fileSystem() = 0;
    virtual MainBundle& mainBundle() = 0;
    virtual URLSession& urlSession() = 0;
    virtual EventLog& eventLog() = 0;
    virtual Supervisor& supervisor() = 0;
    virtual const Localization& localization() = 0;

    // A window of the given style (WindowStyle bits) whose content area is
    // `contentRect`; not yet on screen.
    virtual std::unique_ptr<Window> makeWindow(const Rect& contentRect, uint32_t styleMask) = 0;
    virtual std::unique_ptr<Alert> makeAlert() = 0;
    // A button whose frame, in its window's content, is `frame`.
    virtual std::unique_ptr<Button> makeButton(const Rect& frame) = 0;
    virtual std::unique_ptr<WebViewConfiguration> makeWebViewConfiguration() = 0;
    // The configuration's settings and scripts are taken over by the web view;
    // the configuration's user content controller stays usable and keeps
    // serving this web view.
    virtual std::unique_ptr<WebView> makeWebView(WebViewConfiguration&) = 0;
};

} // namespace orvi
