#pragma once

#include "platform/Geometry.h"
#include "platform/MouseEvent.h"
#include "platform/View.h"

#include <string>

namespace orvi {

// Components from 0 to 1 in the generic RGB colour space.
struct Color {
    double red { 0 };
    double green { 0 };
    double blue { 0 };
    double alpha { 1 };
    bool operator==(const Color&) const = default;
};

enum class FontWeight { regular, medium, semibold, bold, heavy, black };

// The system's user-interface font at a size in points.
struct Font {
    double size { 13 };
    FontWeight weight { FontWeight::regular };
    bool operator==(const Font&) const = default;
};

// Gets the raw mouse events of a button, and the keyboard's press of it; a
// button with a handler does no handling of its own (no highlight, no
// action). Main thread only.
class ButtonEventHandler {
public:
    virtual ~ButtonEventHandler() = default;
    virtual void mouseDown(const MouseEvent&) = 0;
    // Every movement with the button held, however small.
    virtual void mouseDragged(const MouseEvent&) = 0;
    // Not sent when the window system took the pointer over for a window drag.
    virtual void mouseUp(const MouseEvent&) = 0;
    // The button has the keyboard and the key that presses a button (Enter
    // or Space) went down.
    virtual void keyboardPress() = 0;
};

// A button drawn from a layer: fill, corner radius and border, with its title
// in the middle.
class Button : public View {
public:
    virtual void setTitle(const std::string&) = 0;
    virtual void setFont(const Font&) = 0;
    virtual void setContentTintColor(const Color&) = 0;
    virtual void setBordered(bool) = 0;
    virtual void setLayerBackgroundColor(const Color&) = 0;
    virtual void setLayerCornerRadius(double) = 0;
    virtual void setLayerBorderWidth(double) = 0;
    virtual void setLayerBorderColor(const Color&) = 0;
    virtual void setToolTip(const std::string&) = 0;
    // Not owned; may be null.
    virtual void setEventHandler(ButtonEventHandler*) = 0;
};

} // namespace orvi
