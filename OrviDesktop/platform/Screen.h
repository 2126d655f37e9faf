#pragma once

#include "platform/Geometry.h"

#include <optional>

namespace orvi {

// The main screen: on Linux the primary monitor (the first one when none is
// marked primary).
class Screen {
public:
    virtual ~Screen() = default;

    // The main screen's area less panels, docks and other reserved struts;
    // nothing when there is no screen at all. Asked anew each time: work areas
    // change without notice.
    virtual std::optional<Rect> mainScreenVisibleFrame() const = 0;
};

} // namespace orvi
