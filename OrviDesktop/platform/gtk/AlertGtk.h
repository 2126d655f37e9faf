#pragma once

#include "platform/Alert.h"
#include "platform/gtk/ScreenGtk.h"

#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace orvi::gtk {

// A GtkMessageDialog run in a nested main loop, above every window of the
// program (the assistant floats), belonging to the assistant and titled as it
// is, with the keyboard focus. Buttons sit in the usual GTK order, the first
// one rightmost and default: Return chooses it, Escape closes the alert.
class AlertGtk final : public Alert {
public:
    explicit AlertGtk(const ScreenGtk& screen)
        : m_screen(screen)
    {
    }

    void setMessageText(const std::string& text) override { m_message = text; }
    void setInformativeText(const std::string& text) override { m_informative = text; }
    void addButtonWithTitle(const std::string& title) override { m_buttons.push_back(title); }
    long runModal() override;

    // The program is quitting: every alert on screen closes as if dismissed,
    // and every later one is answered the same way without being shown, so
    // that quitting never waits for an answer.
    static void quitting();

private:
    const ScreenGtk& m_screen;
    std::string m_message;
    std::string m_informative;
    std::vector<std::string> m_buttons;
};

} // namespace orvi::gtk
