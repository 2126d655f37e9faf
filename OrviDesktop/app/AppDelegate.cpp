#include "app/AppDelegate.h"

#include "update/UpdateCheck.h"
#include "update/VersionComparison.h"

namespace orvi {

namespace {

constexpr uint64_t kioskActivityOptions
    = ActivityOptions::userInitiated | ActivityOptions::idleDisplaySleepDisabled;
static_assert(kioskActivityOptions == 0x10000FFFFFFULL);
constexpr const char* kioskActivityReason
    = "Keep the Orvi public assistant ready for voice requests";
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
    kioskActivity
        = m_platform.processInfo().beginActivity(kioskActivityOptions, kioskActivityReason);
    orviController = std::make_unique<OrviWindowController>(m_platform, m_buildTimeBundlePath);
    if (orviController)
        orviController->showMainWindow(false);

    // Timed from here, after the window is shown.
    std::weak_ptr<AppDelegate*> weakSelf = m_weakSelf;
    m_platform.mainQueue().asyncAfter(launchUpdateCheckDelay, [weakSelf] {
        if (auto self = weakSelf.lock())
            (*self)->checkForUpdates(true);
    });
}

void AppDelegate::applicationWillTerminate()
{
    if (kioskActivity)
        m_platform.processInfo().endActivity(*kioskActivity);
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

// Will build the one application menu ("Show Orvi", "Check for Updates...",
// "Quit Orvi Desktop") and install it on the application.
void AppDelegate::configureMenu() { }

// Will write the entry that starts the program at every login, replacing
// whatever is there.
void AppDelegate::installLaunchAgent() { }

bool AppDelegate::isVersion(std::string_view candidate, std::string_view newerThan)
{
    return isVersionNewer(candidate, newerThan);
}

std::string AppDelegate::updateEndpointURL()
{
    return std::string("https://") + ORVI_UPDATE_HOST + UpdateCheck::endpointPath;
}

// Starts a check and returns at once; nothing waits for it and nothing stops
// a second one.
void AppDelegate::checkForUpdates(bool silent)
{
    UpdateCheck::start(m_platform, updateEndpointURL(), silent);
}

} // namespace orvi
