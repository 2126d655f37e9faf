#pragma once

#include "platform/EventLog.h"

#include <string>

namespace orvi::gtk {

// GLib's structured logging under the program's own log domain: GLib's
// default writer drops debug and info lines unless G_MESSAGES_DEBUG names the
// domain (or "all"), writes what it keeps on standard error, and, when
// standard error is the journal, hands every field to the journal. Lines are
// kept to one line: control characters in what they carry become spaces.
class EventLogGLib final : public EventLog {
public:
    explicit EventLogGLib(std::string domain);

    void record(LogLevel, const std::string& message, const std::vector<LogField>&) override;
    // Adds the domain to G_MESSAGES_DEBUG. Call before any other thread runs.
    void setVerbose(bool) override;

private:
    std::string m_domain;
};

} // namespace orvi::gtk
