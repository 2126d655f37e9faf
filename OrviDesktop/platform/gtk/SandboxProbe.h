#pragma once

#include <glib.h>
#include <optional>
#include <string>

namespace orvi::gtk {

// Whether WebKit's sandbox for web content can run on this machine: the
// bubblewrap WebKit starts (/usr/bin/bwrap) is asked to make the namespaces
// the sandbox lives in, and the D-Bus proxy WebKit puts in it must be there.
// bubblewrap starts at once, on its own, so that launching does not wait for
// it (it takes about 10 ms); its answer is waited for when first asked.
// Main thread only.
class SandboxProbe {
public:
    SandboxProbe();
    ~SandboxProbe();

    SandboxProbe(const SandboxProbe&) = delete;
    SandboxProbe& operator=(const SandboxProbe&) = delete;

    // Why the sandbox cannot run here, or nothing when it can.
    const std::optional<std::string>& failure();

private:
    void finish();

    GPid m_process { 0 };
    int m_errors { -1 };
    bool m_answered { false };
    std::optional<std::string> m_failure;
};

} // namespace orvi::gtk
