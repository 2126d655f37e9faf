#include "window/OrviWindowController.h"

#include "window/PageContract.h"

#include <cmath>
#include <utility>

namespace orvi {

namespace {

// How long the page may leave an empty script unrun, or stay unresponsive to
// input as WebKit sees it, before it counts as stuck. WebKit notices only when
// someone touches the page; the empty script notices a page stuck where no one
// is looking.
constexpr double unresponsiveLimit = 10;
// How long after its last answer a page still counts as looked after: the
// time between two questions and the limit for one, and a little more.
constexpr double answeredLately = 20;

} // namespace

void OrviWindowController::later(double delay, void (OrviWindowController::*work)())
{
    m_platform.mainQueue().asyncAfter(delay, [weakSelf = std::weak_ptr(m_weakSelf), work] {
        if (auto self = weakSelf.lock())
            ((*self)->*work)();
    });
}

double OrviWindowController::uptime() const
{
    return m_platform.processInfo().systemUptime();
}

// A stuck page's process is ended; the page then comes back as after a crash.
// A page showing its own dialog waits for its visitor, however long.
void OrviWindowController::watchPage()
{
    double now = uptime();
    auto overdue = [&](const std::optional<double>& since) {
        return since && now - *since >= unresponsiveLimit;
    };
    bool stuck = overdue(m_questionAskedAt) || overdue(m_unresponsiveSince);
    if (stuck && !m_pageDialogOpen) {
        m_questionAskedAt.reset();
        m_unresponsiveSince.reset();
        m_endingStuckPage = true;
        webView->terminateWebContentProcess();
    } else if (!m_questionAskedAt && !m_reloadPending) {
        m_questionAskedAt = now;
        unsigned question = ++m_questions;
        webView->evaluateJavaScript("0", [weakSelf = std::weak_ptr(m_weakSelf), question] {
            if (auto self = weakSelf.lock(); self && (*self)->m_questions == question) {
                (*self)->m_questionAskedAt.reset();
                (*self)->m_pageAnsweredAt = (*self)->uptime();
            }
        });
    }
    later(watchInterval, &OrviWindowController::watchPage);
}

// Whatever ended the page's process (a crash, the system's out-of-memory
// killer, a kill, its memory limit, the watch above), the interface comes back
// the way launch loads it, with the member script and the message handler
// still in place. Each recovery leaves a line in the log.
void OrviWindowController::webViewWebContentProcessDidTerminate(WebContentTermination termination)
{
    m_questionAskedAt.reset();
    m_unresponsiveSince.reset();
    m_pageDialogOpen = false;
    bool stuck = std::exchange(m_endingStuckPage, false);
    if (std::exchange(m_reloadPending, true))
        return;
    double now = uptime(), delay = m_reloads.delayAfterEnd(now);
    const char* why = termination == WebContentTermination::exceededMemoryLimit ? "memory-limit"
        : stuck                                                                 ? "hang"
                                                                                : "crash";
    // The same whole seconds in the text and in its fields.
    std::string lived = std::to_string(std::lround(now - m_pageLoadedAt)),
                wait = std::to_string(std::lround(delay));
    m_platform.eventLog().record(LogLevel::info,
        "The page's process ended (" + std::string(why) + ") after " + lived + " s; reloading in "
            + wait + " s",
        { { "ORVI_EVENT", "page-recovery" }, { "ORVI_REASON", why }, { "ORVI_PAGE_SECONDS", lived },
            { "ORVI_RELOAD_DELAY_SECONDS", wait } });
    later(delay, &OrviWindowController::reloadInterface);
}

void OrviWindowController::reloadInterface()
{
    m_reloadPending = false;
    m_reloading = true;
    loadInterface();
    m_reloads.reloaded(m_pageLoadedAt);
}

// A page that comes back while the assistant is collapsed is told so, as a
// collapse tells it, so page and window agree.
void OrviWindowController::webViewDidFinishNavigation()
{
    if (std::exchange(m_reloading, false) && m_collapsed)
        webView->evaluateJavaScript(std::string(PageContract::pauseSnippet));
}

bool OrviWindowController::pageIsLookedAfter() const
{
    return m_reloadPending || m_pageDialogOpen || uptime() - m_pageAnsweredAt <= answeredLately;
}

void OrviWindowController::webViewDidOpenPageDialog()
{
    m_pageDialogOpen = true;
}

// The page runs again: its time to answer starts now.
void OrviWindowController::webViewDidClosePageDialog()
{
    m_pageDialogOpen = false;
    if (m_questionAskedAt)
        m_questionAskedAt = uptime();
    m_unresponsiveSince.reset();
}

void OrviWindowController::webViewWebContentProcessDidBecomeUnresponsive()
{
    if (!m_unresponsiveSince)
        m_unresponsiveSince = uptime();
}

void OrviWindowController::webViewWebContentProcessDidBecomeResponsive()
{
    m_unresponsiveSince.reset();
}

} // namespace orvi
