#pragma once

#include "platform/Screen.h"
#include "platform/gtk/Coordinates.h"
#include "platform/gtk/Monitors.h"

#include <gtk/gtk.h>
#include <memory>
#include <optional>
#include <vector>

namespace orvi::gtk {

// Told of the monitors changing, before the program is. Main thread only.
class DisplayObserver {
public:
    virtual ~DisplayObserver() = default;
    // The new layout is in place; the old one was in place until now.
    virtual void displayDidChange() = 0;
};

// The monitors as the display server has them (see Monitors.h), watched for
// changes. Changes come in bursts (a monitor going away passes through a tiny
// screen), so the program sees the layout as it was until the burst has
// settled for a moment, and then the new one all at once: points and pixels
// convert by the main monitor of the layout in place, windows keep their
// places by it, and only then is the program told. With every output off
// there are no monitors; the last main monitor still converts. Main thread
// only; one per process.
class ScreenGtk final : public Screen {
public:
    ScreenGtk();
    ~ScreenGtk() override;

    std::optional<Rect> mainScreenVisibleFrame() const override;
    std::vector<ScreenArea> screens() const override;
    void setDelegate(ScreenDelegate* delegate) override { m_delegate = delegate; }

    // Between the program's points and root-window pixels; nothing before
    // there is a display.
    std::optional<PixelRect> pixelsFromPoints(const Rect&) const;
    std::optional<Rect> pointsFromPixels(const PixelRect&) const;
    // The primary monitor's geometry, the origin of the program's points;
    // nothing before there is a display.
    const std::optional<PixelRect>& primaryGeometry() const { return layout().reference; }
    // The main monitor as it is now, even while a change settles; null while
    // there is none.
    GdkMonitor* mainMonitor() const;
    // The primary monitor's work area in pixels; nothing while there is none.
    std::optional<PixelRect> primaryWorkarea() const;
    // From the first change of a burst until the program has heard of it.
    bool changing() const { return m_settle != 0; }

    // Not owned; told in the order added.
    void addObserver(DisplayObserver*);
    void removeObserver(DisplayObserver*);

private:
    const MonitorLayout& layout() const;
    void changed(bool monitors);
    static gboolean settled(ScreenGtk*);

    std::unique_ptr<Monitors> m_monitors;
    mutable std::optional<MonitorLayout> m_layout;
    ScreenDelegate* m_delegate { nullptr };
    std::vector<DisplayObserver*> m_observers;
    guint m_settle { 0 };
    bool m_monitorsChanged { false };
};

} // namespace orvi::gtk
