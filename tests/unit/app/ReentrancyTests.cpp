#include "app/AppDelegate.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

// A launched program whose page answers the program's calls at once, from
// inside them.
class ReentrancyTest : public ::testing::Test {
protected:
    ReentrancyTest()
    {
        platform.files.putFile(
            "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
        platform.app.setDelegate(&delegate);
        platform.app.finishLaunching();
    }

    void pageAnswers(const std::string& snippet, std::function<void()> answer)
    {
        webView().onEvaluate = [snippet, answer](const std::string& script) {
            if (script == snippet)
                answer();
        };
    }
    void post(const char* type)
    {
        platform.configurations.at(0)->contentController.post("orvi", { { "type", type } });
    }
    FakeWindow& window() { return *platform.windows.at(0); }
    FakeWebView& webView() { return *platform.webViews.at(0); }

    FakePlatform platform;
    AppDelegate delegate { platform, "/nowhere" };
};

const std::string resumeSnippet = "window.orviResume && window.orviResume()";
const std::string pauseSnippet = "window.orviPause && window.orviPause()";

} // namespace

TEST_F(ReentrancyTest, APageThatCollapsesFromItsResumeEndsCollapsed)
{
    pageAnswers(resumeSnippet, [this] {
        webView().onEvaluate = nullptr;
        post("minimize");
    });
    post("wake");
    EXPECT_EQ(window().currentFrame, (Rect { 0, 0, 2, 2 }));
    EXPECT_TRUE(window().ignoresMouseEvents);
    EXPECT_TRUE(platform.windows.at(1)->visible);
    // The frame the wake had just put in place is the one remembered.
    EXPECT_EQ(
        delegate.windowController()->savedExpandedFrame(), platform.screenService.visibleFrame);
}

TEST_F(ReentrancyTest, QuittingFromInsideACollapseFinishesItAndEndsTheActivityOnce)
{
    pageAnswers(pauseSnippet, [this] { window().userClose(); });
    post("minimize");
    // The collapse went on to show the bubble; the quit was answered once.
    EXPECT_TRUE(platform.windows.at(1)->visible);
    EXPECT_TRUE(platform.app.terminated);
    window().userClose();
    platform.app.terminate();
    EXPECT_EQ(platform.app.willTerminateCount, 1);
    EXPECT_EQ(platform.process.activities.at(0).endCount, 1);
}

TEST_F(ReentrancyTest, AMinimiseFromInsideACollapseKeepsOneBubbleAndTheFirstFrame)
{
    pageAnswers(pauseSnippet, [this] {
        webView().onEvaluate = nullptr;
        window().userMiniaturize();
    });
    window().userMiniaturize();
    EXPECT_EQ(platform.windows.size(), 2u);
    EXPECT_FALSE(window().miniaturized);
    EXPECT_EQ(
        delegate.windowController()->savedExpandedFrame(), platform.screenService.visibleFrame);
    EXPECT_EQ(std::count(webView().evaluated.begin(), webView().evaluated.end(), pauseSnippet), 2);
}
