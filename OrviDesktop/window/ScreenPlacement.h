#pragma once

#include "platform/Screen.h"

#include <optional>
#include <vector>

namespace orvi {

// Where the assistant and the bubble go on screens that have changed. Pure
// rules, in points.

// The frame the expanded assistant takes in `visible`: the frame the user gave
// it (`own`), moved as little as needed to lie inside and shrunk only where it
// cannot fit; the whole visible frame when the user gave none, and also when
// the visible frame is smaller than `smallest`, the size the user may not go
// below.
Rect expandedFrameIn(const std::optional<Rect>& own, const Rect& visible, Size smallest);

// Where the bubble at `bubble` goes: nowhere when it lies wholly inside some
// screen's visible frame; else to the nearest place inside the visible frame
// of the screen that holds most of it; else, when it lies on no screen at all
// (the one it was on is gone), to `home`.
Rect bubbleFrameIn(const Rect& bubble, const std::vector<ScreenArea>& screens, const Rect& home);

// Frames that differ by less than a point are the same place on screen.
bool sameFrame(const Rect&, const Rect&);

} // namespace orvi
