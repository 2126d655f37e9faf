#pragma once

#include <string>

namespace orvi {

// What runModal answers: the chosen button, counted from the first one added.
namespace AlertResponse {
constexpr long firstButton = 1000;
constexpr long secondButton = 1001;
constexpr long thirdButton = 1002;
// Closed without a button (Escape, or the program is quitting).
constexpr long cancelled = 0;
} // namespace AlertResponse

// An application-modal message with buttons. The first button added is the
// default one. Main thread only.
class Alert {
public:
    virtual ~Alert() = default;

    virtual void setMessageText(const std::string&) = 0;
    virtual void setInformativeText(const std::string&) = 0;
    virtual void addButtonWithTitle(const std::string&) = 0;
    // Shows the alert and returns when the user has answered; the main loop
    // keeps running meanwhile.
    virtual long runModal() = 0;
};

} // namespace orvi
