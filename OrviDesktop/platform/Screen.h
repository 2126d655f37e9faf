#pragma once

#include "platform/Geometry.h"

#include <optional>
#include <vector>

namespace orvi {

// One monitor: its whole area and the part of it that panels, docks and other
// reserved struts leave free.
struct ScreenArea {
    Rect frame;
    Rect visibleFrame;
    bool operator==(const ScreenArea&) const = default;
};

// Hears of the screens changing. Main thread only.
class ScreenDelegate {
public:
    virtual ~ScreenDelegate() = default;

    // A monitor came or went, the main screen moved, a resolution or a work
    // area changed. Sent once the changes have settled: a monitor that goes
    // away and comes back at once gives one call. The program's windows are
    // where they were before the change (where the window manager put them
    // meanwhile does not count), and frame() says so in the new coordinates.
    virtual void screenParametersDidChange() = 0;
};

// The main screen is, on Linux, the primary monitor (the first one when none
// is marked primary). While every monitor is off there is no screen at all.
class Screen {
public:
    virtual ~Screen() = default;

    // The main screen's area less panels, docks and other reserved struts;
    // nothing when there is no screen at all.
    virtual std::optional<Rect> mainScreenVisibleFrame() const = 0;
    // Every monitor, the main screen first; empty when there is no screen.
    virtual std::vector<ScreenArea> screens() const = 0;
    // Not owned; may be null.
    virtual void setDelegate(ScreenDelegate*) = 0;
};

} // namespace orvi
