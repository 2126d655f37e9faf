#include "platform/gtk/PlatformGtk.h"

#include "platform/gtk/AlertGtk.h"
#include "platform/gtk/ApplicationGtk.h"
#include "platform/gtk/ButtonGtk.h"
#include "platform/gtk/EventLogGLib.h"
#include "platform/gtk/FileSystemGLib.h"
#include "platform/gtk/HomeFolder.h"
#include "platform/gtk/LocalizationGettext.h"
#include "platform/gtk/MainBundleLinux.h"
#include "platform/gtk/MainQueueGLib.h"
#include "platform/gtk/ProcessInfoGtk.h"
#include "platform/gtk/SandboxProbe.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/SupervisorSystemd.h"
#include "platform/gtk/URLSessionSoup.h"
#include "platform/gtk/WebViewConfigurationGtk.h"
#include "platform/gtk/WebViewGtk.h"
#include "platform/gtk/WindowGtk.h"
#include "platform/gtk/WorkspaceGtk.h"
#include "platform/shared/FileUserDefaults.h"

namespace orvi::gtk {

struct PlatformGtk::Services {
    explicit Services(const std::string& applicationID)
        : applicationID(applicationID)
        , application(applicationID)
        , processInfo(application.gtkApplication(), applicationID)
    {
    }

    // First of all: GLib reads the home folder once, when first asked.
    HomeFolder homeFolder;
    std::string applicationID;
    // Then the locale holds from before the command line is read.
    LocalizationGettext localization;
    ApplicationGtk application;
    ScreenGtk screen;
    ProcessInfoGtk processInfo;
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

PlatformGtk::PlatformGtk(const std::string& applicationID)
    : m_services(std::make_unique<Services>(applicationID))
{
}

PlatformGtk::~PlatformGtk() = default;

Application& PlatformGtk::application()
{
    return m_services->application;
}
Screen& PlatformGtk::screen()
{
    return m_services->screen;
}
ProcessInfo& PlatformGtk::processInfo()
{
    return m_services->processInfo;
}
MainQueue& PlatformGtk::mainQueue()
{
    return m_services->mainQueue;
}
Workspace& PlatformGtk::workspace()
{
    return m_services->workspace;
}
FileSystem& PlatformGtk::fileSystem()
{
    return m_services->fileSystem;
}
MainBundle& PlatformGtk::mainBundle()
{
    return m_services->mainBundle;
}
URLSession& PlatformGtk::urlSession()
{
    return m_services->urlSession;
}
EventLog& PlatformGtk::eventLog()
{
    return m_services->eventLog;
}
Supervisor& PlatformGtk::supervisor()
{
    return m_services->supervisor;
}
const Localization& PlatformGtk::localization()
{
    return m_services->localization;
}

// $XDG_CONFIG_HOME/<application id>/defaults.json
UserDefaults& PlatformGtk::userDefaults()
{
    if (!m_services->userDefaults) {
        std::string path = m_services->mainBundle.userConfigDirectory() + "/"
            + m_services->applicationID + "/defaults.json";
        m_services->userDefaults = std::make_unique<FileUserDefaults>(m_services->fileSystem, path);
    }
    return *m_services->userDefaults;
}

std::unique_ptr<Window> PlatformGtk::makeWindow(const Rect& contentRect, uint32_t styleMask)
{
    auto& application = m_services->application;
    return std::make_unique<WindowGtk>(application.gtkApplication(), application.applicationMenu(),
        m_services->screen, contentRect, styleMask);
}

std::unique_ptr<Alert> PlatformGtk::makeAlert()
{
    return std::make_unique<AlertGtk>(m_services->screen);
}

std::unique_ptr<Button> PlatformGtk::makeButton(const Rect& frame)
{
    return std::make_unique<ButtonGtk>(m_services->screen, frame);
}

std::unique_ptr<WebViewConfiguration> PlatformGtk::makeWebViewConfiguration()
{
    return std::make_unique<WebViewConfigurationGtk>(m_services->sandboxProbe);
}

std::unique_ptr<WebView> PlatformGtk::makeWebView(WebViewConfiguration& configuration)
{
    return std::make_unique<WebViewGtk>(
        static_cast<WebViewConfigurationGtk&>(configuration), m_services->screen);
}

} // namespace orvi::gtk
