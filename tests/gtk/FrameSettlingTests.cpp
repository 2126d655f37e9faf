#include "platform/gtk/x11/FrameSettling.h"

#include <array>
#include <gtest/gtest.h>

using namespace orvi::gtk;

// Every report is held against the newest request; once the window manager
// has gone quiet, a window still elsewhere is asked again, three times, and
// then the window manager has the last word.
TEST(FrameSettling, TheNewestRequestWins)
{
    const PixelRect small { 0, 798, 2, 2 }, big { 0, 28, 1280, 772 }, between { 0, 28, 2, 2 };
    FrameSettling frames;
    std::vector<std::string> steps;
    auto report = [&](const PixelRect& frame) {
        steps.push_back(std::array { "reached", "settling", "moved" }[int(frames.reported(frame))]);
    };
    auto quiet = [&] {
        steps.push_back(std::array { "-", "again", "give up" }[int(frames.quiet())]);
    };
    report(big);
    frames.request(small), frames.request(big);
    quiet(), report(small);
    for (int retry = 0; retry < 4; ++retry)
        report(between), quiet(), quiet();
    report(big);
    frames.request(small);
    report(small), quiet();
    EXPECT_EQ(steps,
        (std::vector<std::string> { "moved", "-", "settling", "settling", "again", "-", "settling",
            "again", "-", "settling", "again", "-", "settling", "give up", "-", "moved", "reached",
            "-" }));
}
