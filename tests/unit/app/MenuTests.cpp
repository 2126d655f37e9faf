#include "app/AppDelegate.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

TEST(MainMenu, OneApplicationMenuWithItsThreeCommands)
{
    FakePlatform platform;
    platform.files.putFile(
        "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
    AppDelegate delegate(platform, "/nowhere");
    platform.app.setDelegate(&delegate);
    platform.app.finishLaunching();

    // Built once, before start-at-login is written and the window is made.
    ASSERT_TRUE(platform.app.mainMenu);
    EXPECT_EQ(platform.journalEntries("app.setMainMenu").size(), 1u);
    const auto& bar = platform.app.mainMenu->items;
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].title, "");
    EXPECT_FALSE(bar[0].action);
    const auto& items = bar[0].submenu;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "Show Orvi");
    EXPECT_EQ(items[0].keyEquivalent, "n");
    EXPECT_EQ(items[1].title, "Check for Updates...");
    EXPECT_EQ(items[1].keyEquivalent, "");
    EXPECT_TRUE(items[2].isSeparator);
    EXPECT_EQ(items[3].title, "Quit Orvi Desktop");
    EXPECT_EQ(items[3].keyEquivalent, "q");

    // "Show Orvi" brings the assistant back from the bubble to its saved frame.
    auto& window = *platform.windows.at(0);
    Rect userFrame { 30, 40, 1000, 700 };
    window.userMoveTo(userFrame);
    delegate.windowController()->minimizeToBubble();
    items[0].action();
    EXPECT_EQ(window.currentFrame, userFrame);
    EXPECT_FALSE(window.ignoresMouseEvents);

    // Each "Check for Updates..." starts a check of its own.
    items[1].action();
    items[1].action();
    EXPECT_EQ(platform.session.pendingCount(), 2u);

    items[3].action();
    EXPECT_TRUE(platform.app.terminated);
    EXPECT_EQ(platform.process.activities.at(0).endCount, 1);
}
