#pragma once

#include <algorithm>
#include <optional>

namespace orvi {

// When to load the page again after the process running it has ended: at
// once the first time; while it keeps ending soon after each reload, after 1,
// 2, 4 … seconds, at most a minute apart, so a page that cannot live does not
// keep the machine busy; and at once again after a reloaded page has lived a
// while. It never gives up. Times are the platform's uptime in seconds.
class ReloadSchedule {
public:
    static constexpr double firstPause = 1;
    static constexpr double longestPause = 60;
    static constexpr double healthyAfter = 30;

    // The page's process ended at `now`: how long to wait before reloading.
    double delayAfterEnd(double now)
    {
        bool soon = m_lastReload && now - *m_lastReload < healthyAfter;
        m_pause = !soon ? 0 : m_pause == 0 ? firstPause : std::min(2 * m_pause, longestPause);
        return m_pause;
    }
    void reloaded(double now) { m_lastReload = now; }

private:
    std::optional<double> m_lastReload;
    double m_pause { 0 };
};

} // namespace orvi
