#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

// Left on another page, the station shows its interface again once nobody
// has touched it for the time set, counted from the later of leaving and the
// last input; loaded as at launch (a collapsed page told to pause, the
// recovery's back-off as it was). The interface is never reloaded for it.
TEST(WayHome, AStationLeftOnAnotherPageComesBackOnceNobodyUsesIt)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    controller.setReturnHomeAfter(60);
    auto& page = *platform.webView;
    const std::string home = page.url();
    auto loads = [&] {
        return std::ranges::count_if(platform.calls, [](Text c) { return c.starts_with("load "); });
    };
    auto step = [&](double seconds) { // with the page answering the watch
        for (double second = 0; second < seconds; ++second, platform.advance(1))
            for (auto& ran : std::exchange(page.pending, {}))
                ran();
        return platform.advance(0), loads();
    };
    page.show(home); // the interface's own commit
    EXPECT_EQ(step(3600), 1);

    page.show("https://example.org/"), platform.lastInput = platform.now + 30;
    using Loads = std::vector<long>; // braced: steps in order
    EXPECT_EQ((Loads { step(89), step(1) }), (Loads { 1, 2 }));
    EXPECT_EQ(platform.logged.back(),
        "1 Nobody has used the station for 60 s on another page; showing the interface again "
        "after 90 s away|ORVI_EVENT=return-home|ORVI_AWAY_SECONDS=90");

    // A page that ends soon after is still reloaded at once.
    page.show(home), platform.calls.clear();
    page.navigation->webViewWebContentProcessDidTerminate(WebContentTermination::crashed);
    EXPECT_EQ((Loads { step(0), platform.count("after 0") }), (Loads { 1, 1 }));

    controller.minimizeToBubble();
    page.show(home), page.show("file:///nowhere/"), platform.calls.clear();
    EXPECT_EQ((Loads { step(59), step(1) }), (Loads { 0, 1 }));
    page.show(home), page.navigation->webViewDidFinishNavigation();
    EXPECT_EQ(platform.calls.back(), "eval window.orviPause && window.orviPause()");

    controller.setReturnHomeAfter(0), page.show("https://example.org/");
    EXPECT_EQ(step(3600), 1);
}
