#include "platform/gtk/ScreenGtk.h"

#include "platform/gtk/DisplayServer.h"

#include <algorithm>
#include <utility>

namespace orvi::gtk {

namespace {

// Long enough for a burst of RandR events and the window manager's new work
// area after them; short enough not to be noticed.
constexpr guint settleMilliseconds = 300;

} // namespace

ScreenGtk::ScreenGtk() = default;

ScreenGtk::~ScreenGtk()
{
    if (m_settle)
        g_source_remove(m_settle);
}

// Read on first use, once there is a display, and watched from then on.
const MonitorLayout& ScreenGtk::layout() const
{
    static const MonitorLayout none;
    if (m_layout || !gdk_display_get_default())
        return m_layout ? *m_layout : none;
    auto* self = const_cast<ScreenGtk*>(this);
    self->m_monitors = DisplayServer::current().makeMonitors();
    m_layout = m_monitors->read();
    self->m_monitors->watch([self](bool monitors) { self->changed(monitors); });
    return *m_layout;
}

void ScreenGtk::changed(bool monitors)
{
    m_monitorsChanged |= monitors;
    if (m_settle)
        g_source_remove(m_settle);
    m_settle = g_timeout_add(settleMilliseconds, G_SOURCE_FUNC(settled), this);
}

// A work area set again as it was changes nothing; monitors that changed may
// have had the window manager move windows about, so the program hears of
// them even when they are back as they were.
gboolean ScreenGtk::settled(ScreenGtk* self)
{
    self->m_settle = 0;
    MonitorLayout now = self->m_monitors->read();
    if (now.monitors.empty() && self->m_layout && self->m_layout->reference)
        now.reference = self->m_layout->reference;
    bool news = std::exchange(self->m_monitorsChanged, false) || now != self->m_layout;
    self->m_layout = now;
    if (!news)
        return G_SOURCE_REMOVE;
    for (DisplayObserver* observer : std::vector(self->m_observers))
        observer->displayDidChange();
    if (self->m_delegate)
        self->m_delegate->screenParametersDidChange();
    return G_SOURCE_REMOVE;
}

void ScreenGtk::addObserver(DisplayObserver* observer)
{
    m_observers.push_back(observer);
}

void ScreenGtk::removeObserver(DisplayObserver* observer)
{
    std::erase(m_observers, observer);
}

std::optional<PixelRect> ScreenGtk::pixelsFromPoints(const Rect& points) const
{
    const MonitorLayout& now = layout();
    return now.reference ? std::optional(gtk::pixelsFromPoints(points, *now.reference))
                         : std::nullopt;
}

std::optional<Rect> ScreenGtk::pointsFromPixels(const PixelRect& rect) const
{
    const MonitorLayout& now = layout();
    return now.reference ? std::optional(gtk::pointsFromPixels(rect, *now.reference))
                         : std::nullopt;
}

GdkMonitor* ScreenGtk::mainMonitor() const
{
    layout();
    return m_monitors ? m_monitors->mainMonitor() : nullptr;
}

std::optional<PixelRect> ScreenGtk::primaryWorkarea() const
{
    const MonitorLayout& now = layout();
    return now.monitors.empty() ? std::nullopt : std::optional(now.monitors.front().workarea);
}

std::optional<Rect> ScreenGtk::mainScreenVisibleFrame() const
{
    auto workarea = primaryWorkarea();
    return workarea ? pointsFromPixels(*workarea) : std::nullopt;
}

std::vector<ScreenArea> ScreenGtk::screens() const
{
    std::vector<ScreenArea> areas;
    const MonitorLayout& now = layout();
    for (const MonitorArea& monitor : now.monitors)
        areas.push_back(ScreenArea { gtk::pointsFromPixels(monitor.geometry, *now.reference),
            gtk::pointsFromPixels(monitor.workarea, *now.reference) });
    return areas;
}

} // namespace orvi::gtk
