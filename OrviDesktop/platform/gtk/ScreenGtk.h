#pragma once

#include "platform/Screen.h"
#include "platform/gtk/Coordinates.h"

#include <gtk/gtk.h>
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

// The monitors as GDK reports them, watched for changes: RandR's (a monitor
// added, removed, turned off or on, a new resolution, a new primary) and the
// work area's (the root window's _NET_WORKAREA and _GTK_WORKAREAS_Dn, and the
// current desktop's, whose work area it is). Changes
// come in bursts (a monitor going away passes through a tiny screen), so the
// program sees the layout as it was until the burst has settled for a moment,
// and then the new one all at once: points and pixels convert by the primary
// monitor of the layout in place, windows keep their places by it, and only
// then is the program told. With every output off there are no monitors; the
// last primary still converts. Main thread only; one per process.
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
    // The primary monitor's work area in pixels; nothing while there is none.
    std::optional<PixelRect> primaryWorkarea() const;
    // From the first change of a burst until the program has heard of it.
    bool changing() const { return m_settle != 0; }

    // Not owned; told in the order added.
    void addObserver(DisplayObserver*);
    void removeObserver(DisplayObserver*);

private:
    struct Monitor {
        PixelRect geometry;
        PixelRect workarea;
        bool operator==(const Monitor&) const = default;
    };
    struct Layout {
        // The primary monitor's geometry: the origin of the program's points.
        std::optional<PixelRect> reference;
        // The primary monitor first; none while every output is off.
        std::vector<Monitor> monitors;
        bool operator==(const Layout&) const = default;
    };

    static Layout read();
    const Layout& layout() const;
    void changed(bool monitors);
    static gboolean settled(ScreenGtk*);
    static GdkFilterReturn rootEvent(GdkXEvent*, GdkEvent*, ScreenGtk*);

    mutable std::optional<Layout> m_layout;
    ScreenDelegate* m_delegate { nullptr };
    std::vector<DisplayObserver*> m_observers;
    guint m_settle { 0 };
    bool m_monitorsChanged { false };
    int m_randrEventBase { -1 };
};

} // namespace orvi::gtk
