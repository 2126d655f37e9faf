#include "window/OrviWindowController.h"

#include "window/PageContract.h"

namespace orvi {

// Every step runs each time, so showing an assistant that is already shown
// puts its frame right again and resumes the page again.
void OrviWindowController::showMainWindow(bool maximize)
{
    m_collapsed = false;
    if (bubblePanel)
        bubblePanel->orderOut();
    m_window->deminiaturize();

    std::optional<Rect> target;
    if (!maximize && expandedFrame) {
        target = expandedFrame;
        m_ownFrame = m_expandedOwnFrame;
    } else {
        target = m_platform.screen().mainScreenVisibleFrame();
        m_ownFrame.reset();
    }
    // Without a screen the window keeps the frame it has.
    if (target)
        m_window->setFrame(*target);

    m_window->setAlphaValue(1.0);
    m_window->setIgnoresMouseEvents(false);
    m_window->setIgnoresKeyboardEvents(false);
    m_window->setLevel(WindowLevel::floating);
    m_platform.application().unhide();
    m_window->orderFrontRegardless();
    m_window->makeKeyAndOrderFront();
    m_platform.application().activateIgnoringOtherApps(true);
    webView->evaluateJavaScript(std::string(PageContract::resumeSnippet));
}

// Closing the assistant quits the program; the window itself stays until the
// process ends.
bool OrviWindowController::windowShouldClose()
{
    m_platform.application().terminate();
    return false;
}

} // namespace orvi
