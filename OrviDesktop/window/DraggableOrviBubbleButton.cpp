#include "window/DraggableOrviBubbleButton.h"

namespace orvi {

DraggableOrviBubbleButton::DraggableOrviBubbleButton(std::unique_ptr<Button> button)
    : m_button(std::move(button))
{
    m_button->setEventHandler(this);
}

DraggableOrviBubbleButton::~DraggableOrviBubbleButton()
{
    m_button->setEventHandler(nullptr);
}

void DraggableOrviBubbleButton::placeIn(Window& window)
{
    m_window = &window;
    window.setContentView(*m_button);
}

void DraggableOrviBubbleButton::mouseDown(const MouseEvent&)
{
    m_beganDragging = false;
}

void DraggableOrviBubbleButton::mouseDragged(const MouseEvent& event)
{
    m_beganDragging = true;
    if (m_window)
        m_window->performWindowDrag(event);
}

void DraggableOrviBubbleButton::mouseUp(const MouseEvent&)
{
    if (m_beganDragging || !m_action)
        return;
    m_action(*this);
}

void DraggableOrviBubbleButton::keyboardPress()
{
    if (m_action)
        m_action(*this);
}

} // namespace orvi
