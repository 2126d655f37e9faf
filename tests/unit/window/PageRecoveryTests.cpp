#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"
#include "window/ReloadSchedule.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

// At once the first time; after 1, 2, 4 … at most 60 seconds while the page
// keeps dying within 30 seconds of a reload; at once again after it lived
// that long. It never gives up.
TEST(ReloadSchedule, BacksOffWhileThePageKeepsDying)
{
    ReloadSchedule schedule;
    double now = 0;
    std::vector<double> delays;
    for (double lived : { 5, 5, 5, 5, 5, 5, 5, 5, 5, 29, 31, 5 }) {
        delays.push_back(schedule.delayAfterEnd(now += lived));
        schedule.reloaded(now += delays.back());
    }
    EXPECT_EQ(delays, (std::vector<double> { 0, 1, 2, 4, 8, 16, 32, 60, 60, 60, 0, 1 }));
}

// A page that leaves the empty script asked every 5 seconds unrun, or that
// WebKit finds unresponsive, for 10 seconds has its process ended. Each end
// is logged with its reason, and the page comes back after its delay.
TEST(PageRecovery, AStuckPageIsEnded)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& page = *platform.webView;
    auto answered = [&](double seconds) {
        platform.advance(seconds);
        for (auto& ran : std::exchange(page.pending, {}))
            ran();
    };
    platform.calls.clear();
    answered(5), platform.advance(15); // answered at 5; unanswered from 10 to 20
    page.navigation->webViewWebContentProcessDidBecomeUnresponsive();
    answered(5), page.navigation->webViewWebContentProcessDidBecomeResponsive();
    answered(10), page.navigation->webViewWebContentProcessDidBecomeUnresponsive();
    answered(5), answered(5); // unresponsive from 35 to 45
    platform.advance(1);
    page.navigation->webViewWebContentProcessDidTerminate(
        WebContentTermination::exceededMemoryLimit);
    const std::string ask = "ask 0", wait = "after 5", end = "terminate page",
                      load = "load file:///opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/ "
                             "<p>page</p>";
    // Reloaded at once the first time, then after 1 s, 2 s: the page keeps dying soon after.
    EXPECT_EQ(platform.calls,
        (Journal { ask, wait, ask, wait, wait, end, wait, "after 0", load, ask, wait, ask, wait,
            wait, ask, wait, end, wait, "after 1", load, "after 2" }));
    auto ended = [](std::string why, std::string lived, std::string delay) {
        return "1 The page's process ended (" + why + ") after " + lived + " s; reloading in "
            + delay + " s|ORVI_EVENT=page-recovery|ORVI_REASON=" + why
            + "|ORVI_PAGE_SECONDS=" + lived + "|ORVI_RELOAD_DELAY_SECONDS=" + delay;
    };
    EXPECT_EQ(platform.logged,
        (Journal { platform.logged[0], ended("hang", "20", "0"), ended("hang", "25", "1"),
            ended("memory-limit", "0", "2") }));
}
