#pragma once

#include <string>
#include <vector>

namespace orvi {

enum class LogLevel { debug, info, warning };

// A fact about an event, for machines: the journal keeps it as a field of its
// own. Names are upper case ("ORVI_REASON").
struct LogField {
    std::string name;
    std::string value;
};

// What happened, for whoever looks afterwards: one line per event in the
// system's log. Debug and info lines are dropped unless asked for; warnings
// always show. No line carries page content or the member ID. Any thread.
class EventLog {
public:
    virtual ~EventLog() = default;

    virtual void record(
        LogLevel, const std::string& message, const std::vector<LogField>& fields = {})
        = 0;
    // Keeps the debug and info lines too (the command line's --verbose).
    virtual void setVerbose(bool) = 0;
};

} // namespace orvi
