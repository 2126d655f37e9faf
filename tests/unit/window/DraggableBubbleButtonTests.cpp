#include "support/FakePlatform.h"
#include "window/DraggableOrviBubbleButton.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

struct Gesture {
    const char* name;
    std::string steps; // p = press, d = drag, r = release
    int actions;
    int drags;
};

// A button placed in a panel, as the bubble has it.
struct Bubble {
    Bubble()
        : made(std::make_unique<FakeButton>(Rect { 0, 0, 112, 112 }))
        , fake(*made)
        , button(std::move(made))
    {
        button.placeIn(panel);
    }

    Journal journal;
    FakeWindow panel { journal, Rect { 0, 0, 112, 112 }, WindowStyle::nonactivatingPanel };
    std::unique_ptr<FakeButton> made;
    FakeButton& fake;
    DraggableOrviBubbleButton button;
};

class DraggableButtonTest : public ::testing::TestWithParam<Gesture> { };

} // namespace

// Every movement with the button held counts, however small; a release acts
// only when no movement came since the last press.
TEST_P(DraggableButtonTest, TellsClicksFromDrags)
{
    Bubble bubble;
    auto& [journal, panel, made, fake, button] = bubble;
    int actions = 0;
    DraggableOrviBubbleButton* sender = nullptr;
    button.setAction([&](DraggableOrviBubbleButton& from) {
        ++actions;
        sender = &from;
    });

    for (char step : GetParam().steps) {
        if (step == 'p')
            fake.press();
        else if (step == 'd')
            fake.drag(0.1, 0);
        else
            fake.release();
    }
    EXPECT_EQ(actions, GetParam().actions);
    EXPECT_EQ(panel.dragCount, GetParam().drags);
    EXPECT_EQ(panel.contentView, &fake);
    if (actions) {
        EXPECT_EQ(sender, &button);
    }
}

INSTANTIATE_TEST_SUITE_P(Gestures, DraggableButtonTest,
    ::testing::Values(Gesture { "Click", "pr", 1, 0 }, Gesture { "TwoClicks", "prpr", 2, 0 },
        Gesture { "TinyDrag", "pdr", 0, 1 }, Gesture { "LongDrag", "pdddr", 0, 3 },
        // The window system sends no release after it took over a drag; a
        // late release without a new press must not click.
        Gesture { "ReleaseAfterDragWithoutPress", "pdrr", 0, 1 },
        Gesture { "DragThenClick", "pdpr", 1, 1 }, Gesture { "ReleaseWithoutPress", "r", 1, 0 },
        Gesture { "PressOnly", "p", 0, 0 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DraggableButton, WithoutAnActionClicksDoNothingAndDragsStillMove)
{
    Bubble bubble;
    auto& [journal, panel, made, fake, button] = bubble;
    fake.click();
    fake.press();
    fake.drag();
    EXPECT_EQ(panel.dragCount, 1);
    EXPECT_TRUE(button.beganDragging());
}
