#include "platform/gtk/Coordinates.h"

#include <gtest/gtest.h>

using namespace orvi;
using gtk::PixelRect;

// Every row holds both ways: points to pixels and back again.
TEST(Coordinates, PointsAndPixelsMeetAtTheBottomLeftOfThePrimaryMonitor)
{
    for (auto [primary, points, pixels] :
        { std::tuple { PixelRect { 0, 0, 1280, 800 }, Rect { 100, 50, 900, 620 },
              PixelRect { 100, 130, 900, 620 } },
            { { 1920, 0, 1280, 1080 }, { -1920, 0, 1920, 1080 }, { 0, 0, 1920, 1080 } },
            { { 2560, 360, 1920, 1080 }, { 200, 100, 800, 600 }, { 2760, 740, 800, 600 } } }) {
        EXPECT_EQ(gtk::pixelsFromPoints(points, primary), pixels);
        EXPECT_EQ(gtk::pointsFromPixels(pixels, primary), points);
    }
    EXPECT_EQ(gtk::pixelsFromPoints({ 99.6, 50.4, 900.2, 619.8 }, { 0, 0, 1280, 800 }),
        (PixelRect { 100, 130, 900, 620 }));
}
