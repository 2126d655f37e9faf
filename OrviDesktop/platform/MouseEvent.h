#pragma once

#include "platform/Geometry.h"

#include <cstdint>

namespace orvi {

// A mouse event as a view reports it to the program. The program only hands it
// back to the platform (to start a window drag); it never reads the position.
struct MouseEvent {
    Point locationInScreen;
    // Where the button went down. A window drag is anchored there, so the
    // window follows the pointer from the press on, not from the first event
    // that counted as a drag.
    Point pressLocationInScreen;
    unsigned button { 1 };
    uint32_t timestamp { 0 };
};

} // namespace orvi
