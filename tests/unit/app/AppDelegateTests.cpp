#include "app/AppDelegate.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest()
    {
        platform.files.putFile(bundlePath + "/Resources/index.html", "<p>page</p>");
        platform.app.setDelegate(&delegate);
    }

    FakeWindow& window() { return *platform.windows.at(0); }
    FakeWebView& webView() { return *platform.webViews.at(0); }

    const std::string bundlePath = "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle";
    FakePlatform platform;
    AppDelegate delegate { platform, "/build/OrviDesktop_OrviDesktop.bundle" };
};

size_t indexOf(const std::vector<std::string>& entries, const std::string& entry)
{
    auto found = std::find(entries.begin(), entries.end(), entry);
    EXPECT_NE(found, entries.end()) << entry << " never happened";
    return size_t(found - entries.begin());
}

} // namespace

TEST_F(AppDelegateTest, LaunchRunsItsStepsInOrder)
{
    platform.app.finishLaunching();

    const auto& journal = platform.journal;
    size_t policy = indexOf(journal, "app.setActivationPolicy");
    size_t activity = indexOf(journal, "process.beginActivity");
    size_t controller = indexOf(journal, "platform.makeWebViewConfiguration");
    size_t load = indexOf(journal, "webView.loadHTMLString");
    size_t shown = indexOf(journal, "window.makeKeyAndOrderFront");
    size_t scheduled = indexOf(journal, "queue.asyncAfter");
    EXPECT_LT(policy, activity);
    EXPECT_LT(activity, controller);
    EXPECT_LT(controller, load);
    EXPECT_LT(load, shown);
    EXPECT_LT(shown, scheduled);

    EXPECT_EQ(platform.app.activationPolicy, ActivationPolicy::regular);
    ASSERT_EQ(platform.process.activities.size(), 1u);
    EXPECT_EQ(platform.process.activities[0].options, 0x10000FFFFFFULL);
    EXPECT_EQ(platform.process.activities[0].reason,
        "Keep the Orvi public assistant ready for voice requests");
    EXPECT_EQ(platform.queue.requestedDelays, std::vector<double> { 3.0 });
    // Shown with the remembered frame rule: nothing remembered yet, so the
    // whole visible frame.
    EXPECT_EQ(window().currentFrame, *platform.screenService.visibleFrame);
    EXPECT_TRUE(window().visible);
    EXPECT_TRUE(platform.app.active);
}

TEST_F(AppDelegateTest, TheDelayedCheckWaitsThreeSecondsAndRunsOnce)
{
    platform.app.finishLaunching();
    EXPECT_EQ(platform.queue.pendingCount(), 1u);
    // A check chosen from the menu meanwhile does not replace it.
    delegate.checkForUpdatesFromMenu();
    EXPECT_EQ(platform.queue.advance(2.999), 0);
    EXPECT_EQ(platform.session.requestedURLs.size(), 1u);
    EXPECT_EQ(platform.queue.advance(0.001), 1);
    EXPECT_EQ(platform.queue.advance(60), 0);
    ASSERT_EQ(platform.session.requestedURLs.size(), 2u);
    EXPECT_EQ(platform.session.requestedURLs[1], AppDelegate::updateEndpointURL());
    EXPECT_TRUE(AppDelegate::updateEndpointURL().starts_with("https://"));
    EXPECT_TRUE(
        AppDelegate::updateEndpointURL().ends_with("/api/downloads/orvi-desktop-update.json"));

    // The launch check is the silent one: an equal version says nothing.
    platform.session.respond(
        R"({"macOS":{"version":"1.4.1","downloadURL":"https://x/","notes":""}})");
    platform.session.respond(
        R"({"macOS":{"version":"1.4.1","downloadURL":"https://x/","notes":""}})");
    platform.queue.advance();
    ASSERT_EQ(platform.alertsShown.size(), 1u);
    EXPECT_EQ(platform.alertsShown[0].messageText, "Orvi Desktop is up to date");
}

TEST(AppDelegateLifetime, TheDelayedCheckIsSkippedOnceTheDelegateIsGone)
{
    FakePlatform platform;
    {
        AppDelegate delegate(platform, "/nowhere");
        platform.app.setDelegate(&delegate);
        platform.app.finishLaunching();
        platform.app.setDelegate(nullptr);
    }
    EXPECT_EQ(platform.queue.advance(3.0), 1);
    EXPECT_TRUE(platform.session.requestedURLs.empty());
}

TEST_F(AppDelegateTest, ReopenAndShowBringTheWindowBackToItsRememberedFrame)
{
    // Without a controller (before launch) both do nothing but reopen still
    // answers yes.
    EXPECT_TRUE(platform.app.reopen());
    delegate.showOrvi();
    EXPECT_TRUE(platform.windows.empty());

    platform.app.finishLaunching();
    Rect resized { 100, 100, 1000, 700 };
    window().userMoveTo(resized);
    window().orderOut();

    EXPECT_TRUE(platform.app.reopen(false));
    EXPECT_TRUE(window().visible);
    // Never collapsed, so nothing is remembered: the visible frame again.
    EXPECT_EQ(window().currentFrame, *platform.screenService.visibleFrame);

    size_t resumes = webView().evaluated.size();
    delegate.showOrvi();
    EXPECT_EQ(webView().evaluated.size(), resumes + 1);
    EXPECT_EQ(webView().evaluated.back(), "window.orviResume && window.orviResume()");
}

TEST_F(AppDelegateTest, QuittingIsImmediateAndEndsTheActivityOnce)
{
    EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::now);
    platform.app.finishLaunching();

    platform.app.terminate();
    platform.app.terminate();
    EXPECT_TRUE(platform.app.terminated);
    EXPECT_EQ(platform.app.willTerminateCount, 1);
    EXPECT_EQ(platform.process.activities.at(0).endCount, 1);
}

TEST_F(AppDelegateTest, ClosingTheWindowQuitsAndKeepsTheWindow)
{
    platform.app.finishLaunching();
    EXPECT_FALSE(window().userClose());
    EXPECT_TRUE(platform.app.terminated);
    EXPECT_TRUE(window().visible);
    EXPECT_EQ(platform.process.activities.at(0).endCount, 1);
}

TEST_F(AppDelegateTest, TerminationBeforeLaunchHasNoActivityToEnd)
{
    platform.app.terminate();
    EXPECT_TRUE(platform.app.terminated);
    EXPECT_TRUE(platform.process.activities.empty());
}
