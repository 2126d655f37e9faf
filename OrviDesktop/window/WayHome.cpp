#include "window/OrviWindowController.h"

#include <algorithm>
#include <cmath>

namespace orvi {

// A station left on another page (a link the visitor followed, the engine's
// page for a load that failed) is a station nobody else can use: once nobody
// has touched it for a while, it shows its interface again, loaded as at
// launch. The interface itself, and moving about within it, never count.
void OrviWindowController::webViewDidCommitNavigation()
{
    if (webView->url() == m_homeURL) {
        m_awayFromHomeSince.reset();
        return;
    }
    if (!m_awayFromHomeSince)
        m_awayFromHomeSince = uptime();
    considerGoingHome();
}

void OrviWindowController::setReturnHomeAfter(double seconds)
{
    m_returnHomeAfter = seconds;
    considerGoingHome();
}

// Asked again when the time would be up; input since then puts it off.
void OrviWindowController::considerGoingHome()
{
    if (!m_awayFromHomeSince || m_returnHomeAfter <= 0 || m_wayHomeWatched)
        return;
    double now = uptime();
    double idleSince = std::max(*m_awayFromHomeSince,
        m_platform.application().lastUserInputTime().value_or(*m_awayFromHomeSince));
    double due = idleSince + m_returnHomeAfter;
    if (now < due) {
        m_wayHomeWatched = true;
        later(due - now, &OrviWindowController::wayHomeDue);
        return;
    }
    // A page being brought back comes back as the interface anyway.
    if (m_reloadPending)
        return;
    std::string away = std::to_string(std::lround(now - *m_awayFromHomeSince));
    m_platform.eventLog().record(LogLevel::info,
        "Nobody has used the station for " + std::to_string(std::lround(now - idleSince))
            + " s on another page; showing the interface again after " + away + " s away",
        { { "ORVI_EVENT", "return-home" }, { "ORVI_AWAY_SECONDS", away } });
    m_awayFromHomeSince.reset();
    // As after a recovery: a collapsed assistant's page is told so once it
    // has loaded. The recovery's back-off is not touched.
    m_reloading = true;
    loadInterface();
}

void OrviWindowController::wayHomeDue()
{
    m_wayHomeWatched = false;
    considerGoingHome();
}

} // namespace orvi
