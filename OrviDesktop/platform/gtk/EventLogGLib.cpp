#include "platform/gtk/EventLogGLib.h"

#include <algorithm>
#include <glib.h>

namespace orvi::gtk {

namespace {

// Long enough for any line of the program's own.
constexpr size_t longestText = 400;

std::string oneLine(const std::string& text)
{
    std::string line = text.substr(0, longestText);
    std::replace_if(
        line.begin(), line.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return line;
}

} // namespace

EventLogGLib::EventLogGLib(std::string domain)
    : m_domain(std::move(domain))
{
    // Info and debug lines belong with the warnings, not in a pipe that
    // reads the program's output.
    g_log_writer_default_set_use_stderr(TRUE);
}

void EventLogGLib::record(
    LogLevel level, const std::string& message, const std::vector<LogField>& fields)
{
    auto [glibLevel, priority] = level == LogLevel::warning ? std::pair(G_LOG_LEVEL_WARNING, "4")
        : level == LogLevel::info                           ? std::pair(G_LOG_LEVEL_INFO, "6")
                                                            : std::pair(G_LOG_LEVEL_DEBUG, "7");
    std::vector<std::string> texts { oneLine(message) };
    for (const LogField& field : fields)
        texts.push_back(oneLine(field.value));
    std::vector<GLogField> logged {
        { "MESSAGE", texts[0].c_str(), -1 },
        { "PRIORITY", priority, -1 },
        { "GLIB_DOMAIN", m_domain.c_str(), -1 },
    };
    for (size_t i = 0; i < fields.size(); ++i)
        logged.push_back({ fields[i].name.c_str(), texts[i + 1].c_str(), -1 });
    g_log_structured_array(glibLevel, logged.data(), logged.size());
}

void EventLogGLib::setVerbose(bool verbose)
{
    if (!verbose)
        return;
    const char* named = g_getenv("G_MESSAGES_DEBUG");
    std::string domains = named ? named : "";
    if (domains == "all" || (" " + domains + " ").find(" " + m_domain + " ") != std::string::npos)
        return;
    g_setenv(
        "G_MESSAGES_DEBUG", (domains.empty() ? m_domain : domains + " " + m_domain).c_str(), TRUE);
}

} // namespace orvi::gtk
