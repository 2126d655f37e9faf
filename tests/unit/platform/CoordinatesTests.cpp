#include "platform/gtk/Coordinates.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::gtk;

// Every row holds both ways: points to pixels and back again.
TEST(Coordinates, PointsAndPixelsMeetAtTheBottomLeftOfThePrimaryMonitor)
{
    struct Case {
        const char* name;
        PixelRect primary;
        Rect points;
        PixelRect pixels;
    };
    const Case cases[] = {
        { "window on a lone monitor", { 0, 0, 1280, 800 }, { 100, 50, 900, 620 },
            { 100, 130, 900, 620 } },
        { "the whole lone monitor", { 0, 0, 1280, 800 }, { 0, 0, 1280, 800 }, { 0, 0, 1280, 800 } },
        { "work area under a 28 px top panel", { 0, 0, 1280, 800 }, { 0, 0, 1280, 772 },
            { 0, 28, 1280, 772 } },
        { "primary on the right of a 3200x1080 root", { 1920, 0, 1280, 1080 }, { 0, 0, 1280, 1080 },
            { 1920, 0, 1280, 1080 } },
        { "left monitor beside a primary on the right", { 1920, 0, 1280, 1080 },
            { -1920, 0, 1920, 1080 }, { 0, 0, 1920, 1080 } },
        { "window on a primary below another monitor", { 0, 1080, 1920, 1080 },
            { 10, 20, 300, 200 }, { 10, 1940, 300, 200 } },
        { "the monitor above the primary", { 0, 1080, 1920, 1080 }, { 0, 1080, 1920, 1080 },
            { 0, 0, 1920, 1080 } },
        { "a monitor below the primary", { 0, 0, 1920, 1080 }, { 0, -1080, 1920, 1080 },
            { 0, 1080, 1920, 1080 } },
        { "primary shorter than its neighbour, bottom aligned", { 2560, 360, 1920, 1080 },
            { 200, 100, 800, 600 }, { 2760, 740, 800, 600 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pixelsFromPoints(c.points, c.primary), c.pixels);
        EXPECT_EQ(pointsFromPixels(c.pixels, c.primary), c.points);
    }
}

TEST(Coordinates, FractionalPointsLandOnWholePixels)
{
    PixelRect primary { 0, 0, 1280, 800 };
    EXPECT_EQ(pixelsFromPoints({ 99.6, 50.4, 900.2, 619.8 }, primary),
        (PixelRect { 100, 130, 900, 620 }));
}
