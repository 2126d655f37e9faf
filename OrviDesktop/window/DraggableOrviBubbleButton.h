#pragma once

#include "platform/Button.h"
#include "platform/Window.h"

#include <functional>
#include <memory>

namespace orvi {

// The bubble's round button. It tells a click from a drag by itself: a press
// and release with no movement in between sends its action; the first
// movement with the button held, however small, makes the gesture a drag and
// hands the pointer to the window system, which moves the whole bubble. With
// the keyboard, Enter or Space presses it as a click does.
class DraggableOrviBubbleButton final : public ButtonEventHandler {
public:
    using Action = std::function<void(DraggableOrviBubbleButton& sender)>;

    explicit DraggableOrviBubbleButton(std::unique_ptr<Button>);
    ~DraggableOrviBubbleButton() override;

    DraggableOrviBubbleButton(const DraggableOrviBubbleButton&) = delete;
    DraggableOrviBubbleButton& operator=(const DraggableOrviBubbleButton&) = delete;

    // Makes the button the window's content; drags move that window.
    void placeIn(Window&);
    void setAction(Action action) { m_action = std::move(action); }
    Button& button() { return *m_button; }
    bool beganDragging() const { return m_beganDragging; }

    // ButtonEventHandler
    void mouseDown(const MouseEvent&) override;
    void mouseDragged(const MouseEvent&) override;
    void mouseUp(const MouseEvent&) override;
    void keyboardPress() override;

private:
    std::unique_ptr<Button> m_button;
    Window* m_window { nullptr };
    Action m_action;
    // From the first movement after a press until the next press: a release
    // that comes after a drag (the window system may send none) is no click.
    bool m_beganDragging { false };
};

} // namespace orvi
