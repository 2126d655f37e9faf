#include "window/OrviWindowController.h"

#include "window/ScreenPlacement.h"

namespace orvi {

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
    if (m_collapsed)
        m_window->setFrame(collapsedFrame(*visible));
    else
        m_window->setFrame(expandedFrameIn(m_ownFrame, *visible, smallestUserSize));
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

void OrviWindowController::windowDidMove()
{
    if (!m_collapsed)
        m_ownFrame = ownFrameFor(m_window->frame());
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
