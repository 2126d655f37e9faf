#pragma once

#include "platform/Platform.h"

#include <memory>
#include <string>

namespace orvi::gtk {

// The Linux platform: GTK 3 and WebKitGTK 4.1 on X11 (under Wayland through
// XWayland), GLib for files and the main loop, D-Bus and X11 for keeping the
// machine awake. Make it on the main thread before anything else runs; it
// forces GDK's X11 backend, so it must come before GTK is initialised.
class PlatformGtk final : public Platform {
public:
    // `applicationID` is the GTK application id: a second launch with the same
    // id hands over to the running process.
    explicit PlatformGtk(const std::string& applicationID);
    ~PlatformGtk() override;

    Application& application() override;
    Screen& screen() override;
    ProcessInfo& processInfo() override;
    MainQueue& mainQueue() override;
    UserDefaults& userDefaults() override;
    Workspace& workspace() override;
    FileSystem& fileSystem() override;
    MainBundle& mainBundle() override;
    URLSession& urlSession() override;
    EventLog& eventLog() override;
    Supervisor& supervisor() override;
    const Localization& localization() override;

    std::unique_ptr<Window> makeWindow(const Rect& contentRect, uint32_t styleMask) override;
    std::unique_ptr<Alert> makeAlert() override;
    std::unique_ptr<Button> makeButton(const Rect& frame) override;
    std::unique_ptr<WebViewConfiguration> makeWebViewConfiguration() override;
    std::unique_ptr<WebView> makeWebView(WebViewConfiguration&) override;

private:
    struct Services;
    std::unique_ptr<Services> m_services;
};

} // namespace orvi::gtk
