#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

const std::string resume = "window.orviResume && window.orviResume()";

// A page in the built bundle, so that nothing is missing.
void putPage(FakePlatform& platform)
{
    platform.files.putFile(
        "/build/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
}

} // namespace

TEST(Showing, TheAssistantComesBackWholeOnTheFrameItShouldHave)
{
    const Rect screen { 0, 0, 1280, 772 };
    const Rect moved { 5, 5, 1000, 700 };
    struct Case {
        const char* name;
        bool maximize;
        std::optional<Rect> visibleFrame;
        Rect frame;
    };
    const Case cases[] = {
        { "maximized", true, screen, screen },
        { "nothing remembered", false, screen, screen },
        { "no screen, maximized", true, std::nullopt, moved },
        { "no screen, nothing remembered", false, std::nullopt, moved },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        putPage(platform);
        OrviWindowController controller(platform, "/build/OrviDesktop_OrviDesktop.bundle");
        auto& window = *platform.windows.at(0);
        auto& webView = *platform.webViews.at(0);
        // Left faded, click-through, low, minimised and hidden.
        window.userMoveTo(moved);
        window.alpha = 0.2;
        window.ignoresMouseEvents = true;
        window.level = WindowLevel::normal;
        window.miniaturized = true;
        platform.screenService.visibleFrame = c.visibleFrame;

        controller.showMainWindow(c.maximize);

        EXPECT_EQ(window.currentFrame, c.frame);
        EXPECT_EQ(window.alpha, 1.0);
        EXPECT_FALSE(window.ignoresMouseEvents);
        EXPECT_EQ(window.level, WindowLevel::floating);
        EXPECT_FALSE(window.miniaturized);
        EXPECT_TRUE(window.visible);
        EXPECT_TRUE(window.key);
        EXPECT_TRUE(platform.app.active);
        EXPECT_EQ(webView.evaluated, std::vector<std::string> { resume });
        EXPECT_EQ(platform.journal.back(), "webView.evaluate:" + resume);
        EXPECT_EQ(controller.savedExpandedFrame(), std::nullopt);
    }
}

TEST(Showing, ShowingAgainPutsTheFrameRightAndResumesAgain)
{
    FakePlatform platform;
    putPage(platform);
    OrviWindowController controller(platform, "/build/OrviDesktop_OrviDesktop.bundle");
    auto& window = *platform.windows.at(0);

    controller.showMainWindow(false);
    window.userMoveTo({ 300, 200, 900, 620 });
    controller.showMainWindow(false);

    EXPECT_EQ(window.currentFrame, *platform.screenService.visibleFrame);
    EXPECT_EQ(platform.webViews.at(0)->evaluated, (std::vector<std::string> { resume, resume }));
}
