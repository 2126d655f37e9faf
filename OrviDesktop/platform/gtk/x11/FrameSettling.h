#pragma once

#include "platform/gtk/Coordinates.h"

#include <optional>

namespace orvi::gtk {

// Brings a window to the newest frame the program asked for. The window
// manager answers in its own time: it may report an older frame after a newer
// request, move a window before it resizes it, or apply only part of a request
// that overtook another. So every report is held against the newest request,
// and once the window manager has gone quiet a window that is still elsewhere
// is asked again; a window manager that keeps refusing has the last word after
// a few tries. Pure bookkeeping: the window does the asking.
class FrameSettling {
public:
    static constexpr int maximumRetries = 3;

    // The frame to reach now; it supersedes any earlier one.
    void request(const PixelRect& target)
    {
        m_target = target;
        m_retries = 0;
        m_answered = false;
    }

    enum class Report {
        // The window is where it was last asked to be.
        reached,
        // An answer on the way there.
        settling,
        // Nothing was asked: the user or the window manager moved the window.
        moved,
    };
    Report reported(const PixelRect& frame)
    {
        m_reported = frame;
        m_answered = true;
        if (!m_target)
            return Report::moved;
        if (frame != *m_target)
            return Report::settling;
        m_target.reset();
        return Report::reached;
    }

    enum class Quiet { nothing, askAgain, giveUp };
    // The window manager has answered and then gone quiet.
    Quiet quiet()
    {
        if (!m_target || !m_answered)
            return Quiet::nothing;
        m_answered = false;
        if (m_retries == maximumRetries) {
            m_target.reset();
            return Quiet::giveUp;
        }
        ++m_retries;
        return Quiet::askAgain;
    }

    const std::optional<PixelRect>& target() const { return m_target; }
    // Once the window manager has reported a frame.
    const PixelRect& lastReported() const { return *m_reported; }
    // Nothing is asked, and the window manager last reported this frame.
    bool isAt(const PixelRect& frame) const { return !m_target && m_reported == frame; }

private:
    std::optional<PixelRect> m_target;
    std::optional<PixelRect> m_reported;
    int m_retries { 0 };
    bool m_answered { false };
};

} // namespace orvi::gtk
