#pragma once

#include "platform/Application.h"

#include <gtk/gtk.h>
#include <string>

namespace orvi::gtk {

// The process's GtkApplication. Its first "activate" is the end of launching;
// every later one (a second launch handing over) is a reopen.
class ApplicationGtk final : public Application {
public:
    explicit ApplicationGtk(const std::string& applicationID);
    ~ApplicationGtk() override;

    void setDelegate(ApplicationDelegate* delegate) override { m_delegate = delegate; }
    int run() override;
    void setActivationPolicy(ActivationPolicy) override;
    void setMainMenu(const Menu&) override;
    void unhide() override;
    void activateIgnoringOtherApps(bool) override;
    void terminate() override;

    GtkApplication* gtkApplication() const { return m_application; }

private:
    static void startup(GApplication*, ApplicationGtk*);
    static void activate(GApplication*, ApplicationGtk*);

    GtkApplication* m_application { nullptr };
    ApplicationDelegate* m_delegate { nullptr };
    bool m_launched { false };
    bool m_terminating { false };
};

} // namespace orvi::gtk
