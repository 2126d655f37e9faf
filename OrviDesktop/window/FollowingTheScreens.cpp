#include "window/OrviWindowController.h"

#include "window/ScreenPlacement.h"

#include <cstdio>

namespace orvi {

namespace {

// "x,y widthxheight", in points from the bottom left of the main screen.
std::string describe(const Rect& frame)
{
    char text[80];
    std::snprintf(
        text, sizeof text, "%.0f,%.0f %.0fx%.0f", frame.x, frame.y, frame.width, frame.height);
    return text;
}

} // namespace

// The assistant follows the main screen: expanded, it covers the new visible
// frame if it covered the old one, and otherwise keeps the frame the user gave
// it as far as the new one allows; collapsed, it stays in the visible frame's
// corner, and the frame it comes back to keeps inside it the same way. With
// every monitor off nothing can be seen, so all stays until one is back.
void OrviWindowController::screenParametersDidChange()
{
    auto visible = m_platform.screen().mainScreenVisibleFrame();
    if (!visible)
        return;
    if (expandedFrame)
        expandedFrame = expandedFrameIn(m_expandedOwnFrame, *visible, smallestUserSize);
    Rect before = m_window->frame();
    m_window->setFrame(m_collapsed ? collapsedFrame(*visible)
                                   : expandedFrameIn(m_ownFrame, *visible, smallestUserSize));
    if (!sameFrame(before, m_window->frame())) {
        std::string frame = describe(m_window->frame());
        m_platform.eventLog().record(LogLevel::info,
            std::string("The screens changed; the ") + (m_collapsed ? "collapsed" : "expanded")
                + " window moved to " + frame,
            { { "ORVI_EVENT", "screens-changed" }, { "ORVI_FRAME", frame } });
    }
    keepBubbleOnScreen();
}

// Set again even where it stays, so that wherever the window manager put it
// while the screens changed, it is back.
void OrviWindowController::keepBubbleOnScreen()
{
    auto screens = m_platform.screen().screens();
    if (!bubblePanel || screens.empty())
        return;
    bubblePanel->setFrame(
        bubbleFrameIn(bubblePanel->frame(), screens, bubbleHome(screens.front().visibleFrame)));
}

// The frame the user gives the assistant is the one it keeps through screen
// changes; for whoever wonders later where it went, it is logged.
void OrviWindowController::windowDidMove()
{
    if (m_collapsed)
        return;
    m_ownFrame = ownFrameFor(m_window->frame());
    std::string frame = describe(m_window->frame());
    m_platform.eventLog().record(LogLevel::debug, "The window was moved to " + frame,
        { { "ORVI_EVENT", "window-moved" }, { "ORVI_FRAME", frame } });
}

// A frame the program placed for the frame the user gave keeps it (it may be
// smaller than what the user gave, on a smaller screen); one that covers the
// visible frame gives none.
std::optional<Rect> OrviWindowController::ownFrameFor(const Rect& frame) const
{
    auto visible = m_platform.screen().mainScreenVisibleFrame();
    if (!visible)
        return frame;
    if (sameFrame(frame, expandedFrameIn(m_ownFrame, *visible, smallestUserSize)))
        return m_ownFrame;
    if (sameFrame(frame, *visible))
        return std::nullopt;
    return frame;
}

} // namespace orvi
