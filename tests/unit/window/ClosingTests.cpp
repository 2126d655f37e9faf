#include "app/AppDelegate.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

// Passes everything on to the real delegate and lets a test act from inside
// the termination callback, as a window manager or a signal might.
class ReentrantDelegate final : public ApplicationDelegate {
public:
    explicit ReentrantDelegate(AppDelegate& inner)
        : m_inner(inner)
    {
    }
    void applicationDidFinishLaunching() override { m_inner.applicationDidFinishLaunching(); }
    bool applicationShouldHandleReopen(bool visible) override
    {
        return m_inner.applicationShouldHandleReopen(visible);
    }
    TerminateReply applicationShouldTerminate() override
    {
        return m_inner.applicationShouldTerminate();
    }
    void applicationWillTerminate() override
    {
        m_inner.applicationWillTerminate();
        if (duringWillTerminate)
            duringWillTerminate();
    }

    std::function<void()> duringWillTerminate;

private:
    AppDelegate& m_inner;
};

// A page in the built bundle, so that nothing is missing.
void putPage(FakePlatform& platform)
{
    platform.files.putFile(
        "/build/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
}

} // namespace

TEST(Closing, QuitRequestsFromInsideOtherCallbacksEndTheActivityOnce)
{
    struct Case {
        const char* name;
        // What happens during termination, then what starts it.
        std::function<void(FakePlatform&)> during;
        std::function<void(FakePlatform&)> start;
        int requests;
    };
    auto close = [](FakePlatform& p) { EXPECT_FALSE(p.windows.at(0)->userClose()); };
    auto terminate = [](FakePlatform& p) { p.app.terminate(); };
    auto closeTwice = [&](FakePlatform& p) {
        close(p);
        close(p);
    };
    auto terminateThenClose = [&](FakePlatform& p) {
        terminate(p);
        close(p);
    };
    const Case cases[] = {
        { "closing twice", nullptr, closeTwice, 2 },
        { "closing while terminating", nullptr, terminateThenClose, 2 },
        { "closing from inside will-terminate", close, terminate, 2 },
        { "terminating from inside will-terminate, started by closing", terminate, close, 2 },
        { "closing twice from inside will-terminate", closeTwice, close, 3 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        putPage(platform);
        AppDelegate delegate(platform, "/build/OrviDesktop_OrviDesktop.bundle");
        ReentrantDelegate reentrant(delegate);
        platform.app.setDelegate(&reentrant);
        platform.app.finishLaunching();
        if (c.during)
            reentrant.duringWillTerminate = [&] { c.during(platform); };

        c.start(platform);

        EXPECT_TRUE(platform.app.terminated);
        EXPECT_EQ(platform.app.terminateRequests, c.requests);
        EXPECT_EQ(platform.app.willTerminateCount, 1);
        ASSERT_EQ(platform.process.activities.size(), 1u);
        EXPECT_EQ(platform.process.activities[0].endCount, 1);
        EXPECT_TRUE(platform.windows.at(0)->visible);
    }
}
