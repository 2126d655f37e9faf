#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

constexpr Rect workArea { 0, 0, 1280, 772 };

class BubbleModeTest : public ::testing::Test {
protected:
    BubbleModeTest()
    {
        platform.screenService.visibleFrame = workArea;
        platform.files.putFile(
            "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
        controller = std::make_unique<OrviWindowController>(
            platform, "/build/OrviDesktop_OrviDesktop.bundle");
        controller->showMainWindow(false);
    }

    FakeWindow& window() { return *platform.windows.at(0); }
    FakeWindow& bubble() { return *platform.windows.at(1); }
    FakeButton& button() { return *platform.buttons.at(0); }
    FakeWebView& webView() { return *platform.webViews.at(0); }

    FakePlatform platform;
    std::unique_ptr<OrviWindowController> controller;
};

} // namespace

TEST_F(BubbleModeTest, CollapsingShrinksTheWindowPausesThePageAndShowsTheBubble)
{
    controller->minimizeToBubble();

    EXPECT_EQ(window().currentFrame, (Rect { 0, 0, 2, 2 }));
    EXPECT_DOUBLE_EQ(window().alpha, 0.01);
    EXPECT_TRUE(window().ignoresMouseEvents);
    EXPECT_EQ(window().level, WindowLevel::normal);
    // Collapsed, never hidden.
    EXPECT_TRUE(window().visible);
    EXPECT_EQ(webView().evaluated.back(), "window.orviPause && window.orviPause()");

    ASSERT_EQ(platform.windows.size(), 2u);
    EXPECT_EQ(bubble().styleMask, WindowStyle::nonactivatingPanel);
    EXPECT_EQ(bubble().currentFrame, (Rect { 1280 - 112 - 24, 24, 112, 112 }));
    EXPECT_EQ(bubble().level, WindowLevel::floating);
    EXPECT_EQ(bubble().collectionBehavior, 257u);
    EXPECT_FALSE(bubble().opaque);
    EXPECT_TRUE(bubble().backgroundClear);
    EXPECT_TRUE(bubble().visible);
    // The pause comes before the bubble.
    auto journal = platform.journal;
    auto pause = std::find(
        journal.begin(), journal.end(), "webView.evaluate:window.orviPause && window.orviPause()");
    auto bubbleMade = std::find(journal.begin(), journal.end(), "platform.makeButton");
    EXPECT_LT(pause, bubbleMade);
}

TEST_F(BubbleModeTest, TheBubbleLooksTheWayItAlwaysHas)
{
    controller->minimizeToBubble();
    EXPECT_EQ(bubble().contentView, &button());
    EXPECT_EQ(button().frame, (Rect { 0, 0, 112, 112 }));
    EXPECT_EQ(button().title, "For Help\nClick Orvi");
    EXPECT_EQ(button().font, (Font { 15, FontWeight::heavy }));
    EXPECT_EQ(button().tint, (Color { 1, 1, 1, 1 }));
    EXPECT_FALSE(button().bordered);
    EXPECT_EQ(button().fill, (Color { 0.08, 0.32, 0.36, 1 }));
    EXPECT_DOUBLE_EQ(button().cornerRadius, 56);
    EXPECT_DOUBLE_EQ(button().borderWidth, 4);
    EXPECT_EQ(button().borderColor, (Color { 0.96, 0.68, 0.08, 1 }));
    EXPECT_EQ(button().toolTip, "Drag to move. Click to open Orvi.");
}

TEST_F(BubbleModeTest, CollapsingTwiceKeepsTheFirstSavedFrameAndTheSameBubble)
{
    Rect userFrame { 40, 60, 1000, 700 };
    window().userMoveTo(userFrame);
    controller->minimizeToBubble();
    controller->minimizeToBubble();

    EXPECT_EQ(controller->savedExpandedFrame(), userFrame);
    EXPECT_EQ(platform.windows.size(), 2u);
    EXPECT_EQ(bubble().orderFrontCount, 2);

    // "Show Orvi" and reopen come back to exactly that frame.
    controller->showMainWindow(false);
    EXPECT_EQ(window().currentFrame, userFrame);
    EXPECT_FALSE(bubble().visible);
}

TEST_F(BubbleModeTest, OnlyFramesWiderThanOneHundredPointsAreRemembered)
{
    struct Case {
        double width;
        bool remembered;
    };
    for (auto [width, remembered] :
        { Case { 100, false }, Case { 100.5, true }, Case { 101, true }, Case { 2, false } }) {
        FakePlatform fresh;
        OrviWindowController other(fresh, "/nowhere");
        fresh.windows.at(0)->userMoveTo(Rect { 5, 5, width, 300 });
        other.minimizeToBubble();
        EXPECT_EQ(other.savedExpandedFrame().has_value(), remembered) << width;
    }
}

TEST_F(BubbleModeTest, ClickingTheBubbleAlwaysFillsTheWorkArea)
{
    window().userMoveTo(Rect { 40, 60, 1000, 700 });
    controller->minimizeToBubble();
    button().click();

    EXPECT_EQ(window().currentFrame, workArea);
    EXPECT_DOUBLE_EQ(window().alpha, 1.0);
    EXPECT_FALSE(window().ignoresMouseEvents);
    EXPECT_EQ(window().level, WindowLevel::floating);
    EXPECT_TRUE(window().key);
    EXPECT_FALSE(bubble().visible);
    EXPECT_EQ(webView().evaluated.back(), "window.orviResume && window.orviResume()");
    // The remembered frame is still there for "Show Orvi".
    EXPECT_EQ(controller->savedExpandedFrame(), (Rect { 40, 60, 1000, 700 }));
}

TEST_F(BubbleModeTest, ADraggedBubbleStaysWhereItWasLeft)
{
    controller->minimizeToBubble();
    button().press();
    button().drag(-300, -200);
    EXPECT_EQ(bubble().dragCount, 1);
    bubble().userMoveTo(Rect { 844, 224, 112, 112 });
    button().release();
    // A drag is no click: still collapsed.
    EXPECT_TRUE(bubble().visible);
    EXPECT_TRUE(window().ignoresMouseEvents);

    button().click();
    controller->minimizeToBubble();
    EXPECT_EQ(bubble().currentFrame, (Rect { 844, 224, 112, 112 }));
    EXPECT_EQ(platform.windows.size(), 2u);
}

TEST_F(BubbleModeTest, MinimisingTheWindowEndsInBubbleMode)
{
    window().userMiniaturize();
    EXPECT_FALSE(window().miniaturized);
    EXPECT_EQ(window().currentFrame, (Rect { 0, 0, 2, 2 }));
    EXPECT_TRUE(bubble().visible);
}

TEST(BubbleModeWithoutScreen, TheWindowKeepsItsFrameAndTheBubbleGoesToTheAssumedCorner)
{
    FakePlatform platform;
    platform.screenService.visibleFrame.reset();
    OrviWindowController controller(platform, "/nowhere");
    Rect before = platform.windows.at(0)->currentFrame;
    controller.minimizeToBubble();

    EXPECT_EQ(platform.windows.at(0)->currentFrame, before);
    EXPECT_DOUBLE_EQ(platform.windows.at(0)->alpha, 0.01);
    EXPECT_TRUE(platform.windows.at(0)->ignoresMouseEvents);
    EXPECT_EQ(platform.windows.at(1)->currentFrame, (Rect { 1304, 24, 112, 112 }));
}

TEST_F(BubbleModeTest, ACollapseFromInsideAShowIsHandledInOrder)
{
    // The page may answer its resume call by asking to collapse again; the
    // program ends collapsed, with the frame the show put in place saved.
    controller->minimizeToBubble();
    controller->showMainWindow(true);
    controller->minimizeToBubble();
    EXPECT_EQ(controller->savedExpandedFrame(), workArea);
    EXPECT_EQ(window().currentFrame, (Rect { 0, 0, 2, 2 }));
}
