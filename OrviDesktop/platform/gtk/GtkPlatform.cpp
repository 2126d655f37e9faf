#include "platform/gtk/GtkPlatform.h"

#include "platform/FileUserDefaults.h"
#include "platform/gtk/AlertGtk.h"
#include "platform/gtk/ApplicationGtk.h"
#include "platform/gtk/ButtonGtk.h"
#include "platform/gtk/EventLogGLib.h"
#include "platform/gtk/FileSystemGLib.h"
#include "platform/gtk/KeepAwake.h"
#include "platform/gtk/MainBundleLinux.h"
#include "platform/gtk/MainQueueGLib.h"
#include "platform/gtk/SandboxProbe.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/SupervisorSystemd.h"
#include "platform/gtk/URLSessionSoup.h"
#include "platform/gtk/WebViewConfigurationGtk.h"
#include "platform/gtk/WebViewGtk.h"
#include "platform/gtk/WindowGtk.h"
#include "platform/gtk/WorkspaceGtk.h"

namespace orvi::gtk {

struct GtkPlatform::Services {
    explicit Services(const std::string& applicationID)
        : applicationID(applicationID)
        , application(applicationID)
        , keepAwake(application.gtkApplication(), applicationID)
    {
    }

    std::string applicationID;
    ApplicationGtk application;
    ScreenGtk screen;
    KeepAwake keepAwake;
    EventLogGLib eventLog { "orvi-desktop" };
    SupervisorSystemd supervisor;
    // Started first thing, so that its answer is there when the web view is
    // made.
    SandboxProbe sandboxProbe;
    MainQueueGLib mainQueue;
    WorkspaceGtk workspace;
    FileSystemGLib fileSystem;
    MainBundleLinux mainBundle;
    // Read on first use, so a second launch that only hands over to the
    // running program never touches the file.
    std::unique_ptr<FileUserDefaults> userDefaults;
    // Last, so it is gone (its workers stopped and joined) before anything a
    // worker might still reach.
    URLSessionSoup urlSession;
};

GtkPlatform::GtkPlatform(const std::string& applicationID)
    : m_services(std::make_unique<Services>(applicationID))
{
}

GtkPlatform::~GtkPlatform() = default;

Application& GtkPlatform::application()
{
    return m_services->application;
}
Screen& GtkPlatform::screen()
{
    return m_services->screen;
}
ProcessInfo& GtkPlatform::processInfo()
{
    return m_services->keepAwake;
}
MainQueue& GtkPlatform::mainQueue()
{
    return m_services->mainQueue;
}
Workspace& GtkPlatform::workspace()
{
    return m_services->workspace;
}
FileSystem& GtkPlatform::fileSystem()
{
    return m_services->fileSystem;
}
MainBundle& GtkPlatform::mainBundle()
{
    return m_services->mainBundle;
}
URLSession& GtkPlatform::urlSession()
{
    return m_services->urlSession;
}
EventLog& GtkPlatform::eventLog()
{
    return m_services->eventLog;
}
Supervisor& GtkPlatform::supervisor()
{
    return m_services->supervisor;
}

// $XDG_CONFIG_HOME/<application id>/defaults.json
UserDefaults& GtkPlatform::userDefaults()
{
    if (!m_services->userDefaults) {
        std::string path = m_services->mainBundle.userConfigDirectory() + "/"
            + m_services->applicationID + "/defaults.json";
        m_services->userDefaults = std::make_unique<FileUserDefaults>(m_services->fileSystem, path);
    }
    return *m_services->userDefaults;
}

std::unique_ptr<Window> GtkPlatform::makeWindow(const Rect& contentRect, uint32_t styleMask)
{
    auto& application = m_services->application;
    return std::make_unique<WindowGtk>(application.gtkApplication(), application.applicationMenu(),
        m_services->screen, contentRect, styleMask);
}

std::unique_ptr<Alert> GtkPlatform::makeAlert()
{
    return std::make_unique<AlertGtk>(m_services->screen);
}

std::unique_ptr<Button> GtkPlatform::makeButton(const Rect& frame)
{
    return std::make_unique<ButtonGtk>(m_services->screen, frame);
}

std::unique_ptr<WebViewConfiguration> GtkPlatform::makeWebViewConfiguration()
{
    return std::make_unique<WebViewConfigurationGtk>(m_services->sandboxProbe);
}

std::unique_ptr<WebView> GtkPlatform::makeWebView(WebViewConfiguration& configuration)
{
    return std::make_unique<WebViewGtk>(
        static_cast<WebViewConfigurationGtk&>(configuration), m_services->screen);
}

} // namespace orvi::gtk
