#include "support/FakePlatform.h" // prints a Rect
#include "window/ScreenPlacement.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(ScreenPlacement, FramesComeInsideTheNewVisibleFrames)
{
    const Rect own { 100, 60, 1000, 650 }, small { 0, 0, 1280, 772 }, home { 1, 2, 112, 112 };
    // The expanded assistant keeps the frame the user gave it, moved before it
    // is shrunk, and covers a visible frame that covered before or that is
    // below its smallest size.
    for (auto [frame, visible, placed] :
        std::initializer_list<std::tuple<std::optional<Rect>, Rect, Rect>> {
            { std::nullopt, small, small }, { own, { 0, 0, 1920, 1052 }, own },
            { Rect { 1500, 600, 1000, 650 }, small, { 280, 122, 1000, 650 } },
            { Rect { -300, -50, 1000, 650 }, small, { 0, 0, 1000, 650 } },
            { Rect { 100, 60, 1500, 650 }, small, { 0, 60, 1280, 650 } },
            { own, { 0, 0, 64, 36 }, { 0, 0, 64, 36 } } })
        EXPECT_EQ(expandedFrameIn(frame, visible, { 900, 620 }), placed) << frame.value_or(Rect {});
    // The bubble comes back onto the screen that holds most of it, or goes
    // home when it lies on none.
    const ScreenArea left { { 0, 0, 1280, 800 }, small },
        right { { 1280, 0, 1280, 1024 }, { 1280, 0, 1280, 1024 } };
    for (auto [bubble, screens, placed] :
        std::initializer_list<std::tuple<Rect, std::vector<ScreenArea>, Rect>> {
            { { 1300, 500, 112, 112 }, { left, right }, { 1300, 500, 112, 112 } },
            { { 1200, 700, 112, 112 }, { left, right }, { 1168, 660, 112, 112 } },
            { { 1250, -50, 112, 112 }, { left, right }, { 1280, 0, 112, 112 } },
            { { 1784, 944, 112, 112 }, { left }, home } })
        EXPECT_EQ(bubbleFrameIn(bubble, screens, home), placed) << bubble;
}
