#pragma once

#include "platform/Application.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <string>
#include <vector>

namespace orvi::gtk {

// The process's GtkApplication. Its first "activate" is the end of launching;
// every later one (a second launch handing over) is a reopen.
class ApplicationGtk final : public Application {
public:
    explicit ApplicationGtk(const std::string& applicationID);
    ~ApplicationGtk() override;

    void setDelegate(ApplicationDelegate* delegate) override { m_delegate = delegate; }
    int run(int argc, char** argv, const CommandLine&) override;
    void setActivationPolicy(ActivationPolicy) override;
    void setMainMenu(const Menu&) override;
    void unhide() override;
    void activateIgnoringOtherApps(bool) override;
    std::optional<double> lastUserInputTime() const override { return m_lastUserInput; }
    void terminate() override;

    GtkApplication* gtkApplication() const { return m_application; }
    // The menu of the menu bar's first item (the application menu), for a menu
    // button in a window; null before a menu is set.
    GMenuModel* applicationMenu() const { return m_applicationMenu; }

private:
    static void startup(GApplication*, ApplicationGtk*);
    static void activate(GApplication*, ApplicationGtk*);
    static void handleEvent(GdkEvent*, gpointer self);
    GMenu* buildMenu(const std::vector<MenuItem>&);

    std::string m_applicationID;
    GtkApplication* m_application { nullptr };
    ApplicationDelegate* m_delegate { nullptr };
    bool m_launched { false };
    bool m_terminating { false };
    std::optional<double> m_lastUserInput;
    GMenuModel* m_applicationMenu { nullptr };
    std::vector<std::unique_ptr<std::function<void()>>> m_menuActions;
};

} // namespace orvi::gtk
