#include "window/OrviWindowController.h"

#include "window/PageContract.h"

namespace orvi {

namespace {

constexpr double bubbleSide = 112;
constexpr double bubbleInset = 24;
// Where the bubble goes when there is no screen to measure.
constexpr Rect assumedScreenArea { 0, 0, 1440, 900 };
constexpr double collapsedSide = 2;
constexpr double collapsedAlpha = 0.01;
// A frame this narrow or narrower is a collapsed one, not worth remembering.
constexpr double widestUnsavedWidth = 100;

// Translators: the round bubble's two lines, in a circle 112 pixels wide:
// about ten letters a line at most. "Orvi" is the assistant's name.
constexpr auto bubbleTitle = UIText("For Help\nClick Orvi");
constexpr Font bubbleFont { 15, FontWeight::heavy };
constexpr Color bubbleTitleColor { 1, 1, 1, 1 };
constexpr Color bubbleFill { 0.08, 0.32, 0.36, 1.0 };
constexpr Color bubbleBorder { 0.96, 0.68, 0.08, 1.0 };
constexpr double bubbleBorderWidth = 4;
constexpr auto bubbleToolTip = UIText("Drag to move. Click to open Orvi.");

} // namespace

void OrviWindowController::minimizeToBubble()
{
    bool hadKeyboard = m_window->isKeyWindow();
    // A second collapse finds the window 2 points wide and keeps the frame
    // the first one saved.
    m_collapsed = true;
    Rect frame = m_window->frame();
    if (frame.width > widestUnsavedWidth) {
        expandedFrame = frame;
        m_ownFrame = m_expandedOwnFrame = ownFrameFor(frame);
    }
    if (auto visibleFrame = m_platform.screen().mainScreenVisibleFrame())
        m_window->setFrame(collapsedFrame(*visibleFrame));
    m_window->setAlphaValue(collapsedAlpha);
    m_window->setIgnoresMouseEvents(true);
    m_window->setIgnoresKeyboardEvents(true);
    m_window->setLevel(WindowLevel::normal);
    // Collapsed, not hidden: the window stays on screen.
    m_window->orderFrontRegardless();
    webView->evaluateJavaScript(std::string(PageContract::pauseSnippet));
    showBubble(hadKeyboard);
}

Rect OrviWindowController::collapsedFrame(const Rect& area)
{
    return Rect { area.minX(), area.minY(), collapsedSide, collapsedSide };
}

Rect OrviWindowController::bubbleHome(const Rect& area)
{
    return Rect { area.maxX() - bubbleSide - bubbleInset, area.minY() + bubbleInset, bubbleSide,
        bubbleSide };
}

// The bubble takes the keyboard the assistant had, so that its shortcuts
// keep working; it never takes it otherwise.
void OrviWindowController::showBubble(bool takeKeyboard)
{
    if (!bubblePanel) {
        Rect area = m_platform.screen().mainScreenVisibleFrame().value_or(assumedScreenArea);
        auto panel = m_platform.makeWindow(bubbleHome(area), WindowStyle::nonactivatingPanel);
        panel->setLevel(WindowLevel::floating);
        panel->setCollectionBehavior(
            CollectionBehavior::canJoinAllSpaces | CollectionBehavior::fullScreenAuxiliary);
        panel->setOpaque(false);
        panel->setBackgroundClear(true);
        panel->setHasShadow(true);
        panel->setMovableByWindowBackground(true);
        panel->setDelegate(&m_bubbleDelegate);

        auto button = std::make_unique<DraggableOrviBubbleButton>(
            m_platform.makeButton(Rect { 0, 0, bubbleSide, bubbleSide }));
        Button& look = button->button();
        auto& localization = m_platform.localization();
        look.setTitle(localization.localizedString(bubbleTitle));
        look.setFont(bubbleFont);
        look.setContentTintColor(bubbleTitleColor);
        look.setBordered(false);
        look.setLayerBackgroundColor(bubbleFill);
        look.setLayerCornerRadius(bubbleSide / 2);
        look.setLayerBorderWidth(bubbleBorderWidth);
        look.setLayerBorderColor(bubbleBorder);
        button->setAction([this](DraggableOrviBubbleButton&) { restoreFromBubble(); });
        look.setToolTip(localization.localizedString(bubbleToolTip));
        button->placeIn(*panel);

        m_bubbleButton = std::move(button);
        bubblePanel = std::move(panel);
    }
    bubblePanel->orderFrontRegardless();
    if (takeKeyboard)
        bubblePanel->makeKeyAndOrderFront();
}

void OrviWindowController::restoreFromBubble()
{
    showMainWindow(true);
}

// A minimised assistant never stays minimised: it collapses into the bubble.
void OrviWindowController::windowDidMiniaturize()
{
    m_window->deminiaturize();
    minimizeToBubble();
}

void OrviWindowController::BubbleDelegate::windowDidMiniaturize()
{
    m_controller.bubblePanel->deminiaturize();
}

} // namespace orvi
