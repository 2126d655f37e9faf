#include "app/AppDelegate.h"

#include "app/AppIdentifier.h"
#include "app/AutostartEntry.h"
#include "app/LaunchAgent.h"
#include "update/UpdateCheck.h"
#include "update/VersionComparison.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace orvi {

namespace {

constexpr uint64_t kioskActivityOptions
    = ActivityOptions::userInitiated | ActivityOptions::idleDisplaySleepDisabled;
static_assert(kioskActivityOptions == 0x10000FFFFFFULL);
// The session shows it to whoever asks what keeps the machine awake.
constexpr auto kioskActivityReason
    = UIText("Keep the Orvi public assistant ready for voice requests");
constexpr double launchUpdateCheckDelay = 3.0;

} // namespace

AppDelegate::AppDelegate(Platform& platform, std::string buildTimeBundlePath)
    : m_platform(platform)
    , m_buildTimeBundlePath(std::move(buildTimeBundlePath))
    , m_weakSelf(std::make_shared<AppDelegate*>(this))
{
}

AppDelegate::~AppDelegate() = default;

// Strictly in this order; no step depends on how the one before it went.
void AppDelegate::applicationDidFinishLaunching()
{
    m_platform.application().setActivationPolicy(ActivationPolicy::regular);
    configureMenu();
    installLaunchAgent();
    kioskActivity = m_platform.processInfo().beginActivity(
        kioskActivityOptions, m_platform.localization().localizedString(kioskActivityReason));
    uint64_t memoryLimit = m_memoryLimit.value_or(
        OrviWindowController::memoryLimitFor(m_platform.processInfo().physicalMemory()));
    orviController
        = std::make_unique<OrviWindowController>(m_platform, m_buildTimeBundlePath, memoryLimit);
    if (m_returnHomeAfter)
        orviController->setReturnHomeAfter(*m_returnHomeAfter);
    orviController->showMainWindow(false);

    // The window is shown and the page is loading: a service manager may count
    // the program as started.
    m_platform.supervisor().notifyReady();
    if (auto interval = m_platform.supervisor().watchdogInterval())
        feedWatchdog(*interval / 2);

    // Timed from here, after the window is shown.
    std::weak_ptr<AppDelegate*> weakSelf = m_weakSelf;
    m_platform.mainQueue().asyncAfter(launchUpdateCheckDelay, [weakSelf] {
        if (auto self = weakSelf.lock())
            (*self)->checkForUpdates(true);
    });
}

void AppDelegate::applicationWillTerminate()
{
    m_platform.supervisor().notifyStopping();
    if (kioskActivity)
        m_platform.processInfo().endActivity(*kioskActivity);
}

// From the main loop, and only while the page watch does its job: a program
// whose loop has stopped, or whose page is neither answering nor being brought
// back, stops telling the service manager it is alive and is restarted.
void AppDelegate::feedWatchdog(double every)
{
    if (orviController && orviController->pageIsLookedAfter())
        m_platform.supervisor().notifyAlive();
    m_platform.mainQueue().asyncAfter(every, [weakSelf = std::weak_ptr(m_weakSelf), every] {
        if (auto self = weakSelf.lock())
            (*self)->feedWatchdog(every);
    });
}

bool AppDelegate::applicationShouldHandleReopen(bool)
{
    if (orviController)
        orviController->showMainWindow(false);
    return true;
}

// Quitting never waits and never asks.
TerminateReply AppDelegate::applicationShouldTerminate()
{
    return TerminateReply::now;
}

void AppDelegate::showOrvi()
{
    if (orviController)
        orviController->showMainWindow(false);
}

void AppDelegate::checkForUpdatesFromMenu()
{
    checkForUpdates(false);
}

// One menu, the application's own: bring the assistant back, look for
// updates on request, quit. The shortcuts use the platform's command key.
void AppDelegate::configureMenu()
{
    auto& localization = m_platform.localization();
    std::vector<MenuItem> applicationMenu;
    applicationMenu.push_back(MenuItem::command(
        localization.localizedString(UIText("Show Orvi")), [this] { showOrvi(); }, "n"));
    applicationMenu.push_back(
        MenuItem::command(localization.localizedString(UIText("Check for Updates...")),
            [this] { checkForUpdatesFromMenu(); }));
    applicationMenu.push_back(MenuItem::separator());
    applicationMenu.push_back(MenuItem::command(
        localization.localizedString(UIText("Quit Orvi Desktop")),
        [this] { m_platform.application().terminate(); }, "q"));

    Menu mainMenu;
    mainMenu.items.push_back(MenuItem::withSubmenu("", std::move(applicationMenu)));
    m_platform.application().setMainMenu(mainMenu);
}

// Written at every launch, so moving the program and starting it once is
// enough to start the new copy at the next login. Not under a service
// manager: its unit starts the program at login, and the entry would start a
// second copy beside it.
void AppDelegate::installLaunchAgent()
{
    if (m_platform.supervisor().supervised())
        return;
    auto& bundle = m_platform.mainBundle();
    auto& fileSystem = m_platform.fileSystem();
    if (auto library = bundle.userLibraryDirectory())
        LaunchAgent::install(fileSystem, *library, appIdentifier, bundle.bundlePath());
    else
        AutostartEntry::install(
            fileSystem, bundle.userConfigDirectory(), appIdentifier, bundle.executablePath());
}

bool AppDelegate::isVersion(std::string_view candidate, std::string_view newerThan)
{
    return isVersionNewer(candidate, newerThan);
}

std::string AppDelegate::updateEndpointURL()
{
    std::string host = ORVI_UPDATE_HOST;
#ifdef ORVI_TEST_HOOKS
    if (const char* testHost = std::getenv("ORVI_TEST_UPDATE_HOST"))
        host = testHost;
#endif
    return "https://" + host + UpdateCheck::endpointPath;
}

// The version line is the program's name and version, the same in every
// language, and the value's name is the unit's.
CommandLine AppDelegate::commandLine()
{
    auto& localization = m_platform.localization();
    CommandLine line;
    line.summary = localization.localizedString(
        UIText("Shows the Orvi public assistant over the screen, keeps the machine awake\n"
               "and starts at every login. A second launch brings the running assistant back."));
    line.version = std::string("Orvi Desktop ") + ORVI_VERSION;
    line.versionHelp = localization.localizedString(UIText("Show the version and exit"));
    line.options.push_back({ "memory-limit", "MIB",
        localization.localizedString(
            UIText("Most memory the page's process may keep, in MiB (0: the engine's own limit); "
                   "by default a quarter of the machine's memory, from 1024 to 4096")),
        [this](const std::string& value) {
            // Digits only, and no more than a machine could have.
            if (value.empty() || value.size() > 9
                || value.find_first_not_of("0123456789") != std::string::npos)
                return false;
            m_memoryLimit = std::stoull(value);
            return true;
        } });
    line.options.push_back({ "return-home-after", "MINUTES",
        localization.localizedString(
            UIText("Show the interface again once the station has stayed this long on another "
                   "page with nobody using it (0: never); by default 5")),
        [this](const std::string& value) {
            // A number of minutes, a fraction allowed, and no more than years.
            double minutes = 0;
            auto [end, error] = std::from_chars(
                value.data(), value.data() + value.size(), minutes, std::chars_format::fixed);
            if (value.empty() || !std::isdigit(static_cast<unsigned char>(value.front()))
                || error != std::errc() || end != value.data() + value.size() || minutes > 1e7)
                return false;
            m_returnHomeAfter = minutes * 60;
            return true;
        } });
    line.options.push_back({ "verbose", "",
        localization.localizedString(
            UIText("Log what happens (page recoveries, returns to the interface, the sandbox, "
                   "screen changes, update checks) on standard error or in the journal")),
        [this](const std::string&) {
            m_platform.eventLog().setVerbose(true);
            return true;
        } });
    line.description
        = localization.localizedString(UIText("See orvi-desktop(1) for running it as a station."));
    // Translators: the value given, then the option's name ("--memory-limit").
    line.refusedValue = localization.localizedString(UIText("Cannot use '%s' for %s"));
    // Translators: %s is the program's command, "orvi-desktop".
    line.tryHelp = localization.localizedString(UIText("Try '%s --help' for more information."));
    return line;
}

// Starts a check and returns at once; nothing waits for it and nothing stops
// a second one.
void AppDelegate::checkForUpdates(bool silent)
{
    UpdateCheck::start(m_platform, updateEndpointURL(), silent);
}

} // namespace orvi
