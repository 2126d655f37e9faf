#pragma once

#include "platform/Geometry.h"
#include "platform/View.h"

#include <cstdint>
#include <string>

namespace orvi {

struct MouseEvent;

// See platform/MouseEvent.h.

enum class WindowLevel { normal = 0, floating = 3 };

// Style bits, with the values the program has always used for them.
namespace WindowStyle {
constexpr uint32_t titled = 1 << 0;
constexpr uint32_t closable = 1 << 1;
constexpr uint32_t miniaturizable = 1 << 2;
constexpr uint32_t resizable = 1 << 3;
// A panel that never takes focus or activates the application.
constexpr uint32_t nonactivatingPanel = 1 << 7;
// The content reaches under the title area.
constexpr uint32_t fullSizeContentView = 1 << 15;
} // namespace WindowStyle

namespace CollectionBehavior {
constexpr uint32_t canJoinAllSpaces = 1 << 0;
constexpr uint32_t fullScreenAuxiliary = 1 << 8;
} // namespace CollectionBehavior

// What a window's own controls (close, minimise, menu) are called, in their
// tool tips and for screen readers.
struct WindowControlNames {
    std::string close;
    std::string minimize;
    std::string menu;
};

// What a window reports to its delegate, on the main thread.
class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;

    // The user (or the window manager) asked to close the window. Returning
    // false keeps it open.
    virtual bool windowShouldClose() = 0;
    // The window was minimised by the user or the window manager.
    virtual void windowDidMiniaturize() = 0;
    // The user (or the window manager) moved or resized the window and has
    // let go of it. Not sent for frames the program set, nor for what the
    // window manager does while the screens change.
    virtual void windowDidMove() { }
};

// A top-level window. Frames are in screen points (see Geometry.h) and set
// synchronously as far as the program can tell: frame() returns the last
// frame set until the system reports another one (the user moved or resized
// the window).
class Window {
public:
    virtual ~Window() = default;

    // Not owned; may be null.
    virtual void setDelegate(WindowDelegate*) = 0;
    // The window does not own its content; the view must outlive it as the
    // content.
    virtual void setContentView(View&) = 0;

    virtual void setTitle(const std::string&) = 0;
    virtual void setControlNames(const WindowControlNames&) = 0;
    virtual void setTitleHidden(bool) = 0;
    virtual void setTitlebarAppearsTransparent(bool) = 0;
    virtual void setMovableByWindowBackground(bool) = 0;
    // Bounds what the user can resize to; frames set by the program are not
    // bound by it.
    virtual void setMinSize(Size) = 0;
    virtual void setLevel(WindowLevel) = 0;
    virtual void setCollectionBehavior(uint32_t) = 0;
    virtual void setHidesOnDeactivate(bool) = 0;
    virtual void setOpaque(bool) = 0;
    // Clear (true) or the platform's standard window background (false).
    virtual void setBackgroundClear(bool) = 0;
    virtual void setHasShadow(bool) = 0;

    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect&) = 0;
    // Centres the window on the screen at its current size.
    virtual void center() = 0;

    virtual void setAlphaValue(double) = 0;
    virtual void setIgnoresMouseEvents(bool) = 0;
    // A window that ignores the keyboard gives up the keyboard focus, is not
    // given it again, and no key reaches its content.
    virtual void setIgnoresKeyboardEvents(bool) = 0;

    // Shows the window in front without activating the application.
    virtual void orderFrontRegardless() = 0;
    // Shows the window in front and gives it the keyboard focus; a
    // non-activating panel takes the keyboard only this way, and gives it up
    // when ordered out.
    virtual void makeKeyAndOrderFront() = 0;
    // Whether the window has the keyboard focus.
    virtual bool isKeyWindow() const = 0;
    virtual void orderOut() = 0;
    virtual void deminiaturize() = 0;
    // Hands the pointer to the window system, which moves the window with it
    // until the button is released. The event is the one that started it.
    virtual void performWindowDrag(const MouseEvent&) = 0;
};

} // namespace orvi
