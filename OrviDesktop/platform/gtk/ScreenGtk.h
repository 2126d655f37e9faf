#pragma once

#include "platform/Screen.h"
#include "platform/gtk/Coordinates.h"

#include <optional>

namespace orvi::gtk {

class ScreenGtk final : public Screen {
public:
    std::optional<Rect> mainScreenVisibleFrame() const override;

    // The primary monitor's geometry in root-window pixels, the reference of
    // every conversion between points and pixels.
    static std::optional<PixelRect> primaryMonitorGeometry();
    static std::optional<PixelRect> primaryMonitorWorkarea();
};

} // namespace orvi::gtk
