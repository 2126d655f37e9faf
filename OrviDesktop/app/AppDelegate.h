#pragma once

#include "platform/Platform.h"
#include "window/OrviWindowController.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvi {

// Answers the application's lifecycle: builds everything when launching
// finishes, brings the assistant back on reopen and "Show Orvi", quits at
// once when asked and lets the machine sleep again at termination. One per
// process, alive until the process ends. Main thread only.
class AppDelegate final : public ApplicationDelegate {
public:
    // `buildTimeBundlePath` is where the build put the resource bundle.
    AppDelegate(Platform&, std::string buildTimeBundlePath);
    ~AppDelegate() override;

    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // ApplicationDelegate
    void applicationDidFinishLaunching() override;
    void applicationWillTerminate() override;
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
    TerminateReply applicationShouldTerminate() override;

    // Menu actions.
    void showOrvi();
    void checkForUpdatesFromMenu();

    // Whether `candidate` is a strictly newer version than `newerThan`.
    static bool isVersion(std::string_view candidate, std::string_view newerThan);

    // https://<update host>/api/downloads/orvi-desktop-update.json, the host
    // chosen when the program is built.
    static std::string updateEndpointURL();

    // What the program says of itself on its command line, with the options
    // it takes (their values land in this delegate).
    CommandLine commandLine();

    OrviWindowController* windowController() const { return orviController.get(); }

private:
    void configureMenu();
    void installLaunchAgent();
    void checkForUpdates(bool silent);
    void feedWatchdog(double every);

    Platform& m_platform;
    std::string m_buildTimeBundlePath;
    std::unique_ptr<OrviWindowController> orviController;
    std::unique_ptr<ActivityToken> kioskActivity;
    // From --memory-limit; otherwise one chosen from the machine's memory.
    std::optional<uint64_t> m_memoryLimit;
    // From --return-home-after, in seconds.
    std::optional<double> m_returnHomeAfter;
    // Work scheduled for later holds this weakly and finds it gone once the
    // delegate is destroyed.
    std::shared_ptr<AppDelegate*> m_weakSelf;
};

} // namespace orvi
