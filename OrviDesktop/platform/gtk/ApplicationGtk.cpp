#include "platform/gtk/ApplicationGtk.h"

#include "platform/gtk/AlertGtk.h"
#include "platform/gtk/DisplayServer.h"

#include <glib-unix.h>

namespace orvi::gtk {

ApplicationGtk::ApplicationGtk(const std::string& applicationID)
    : m_applicationID(applicationID)
{
    m_application = gtk_application_new(applicationID.c_str(), G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect(m_application, "startup", G_CALLBACK(startup), this);
    g_signal_connect(m_application, "activate", G_CALLBACK(activate), this);
}

ApplicationGtk::~ApplicationGtk()
{
    // Events no longer come through this object once it is gone.
    gdk_event_handler_set(
        +[](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    if (m_applicationMenu)
        g_object_unref(m_applicationMenu);
    g_signal_handlers_disconnect_by_data(m_application, this);
    g_object_unref(m_application);
}

namespace {

// The program's own options, found by the name GOption hands back.
struct OwnOptions {
    const CommandLine* commandLine;
};

gboolean takeOption(const gchar* name, const gchar* value, gpointer data, GError** error)
{
    const CommandLine& commandLine = *static_cast<OwnOptions*>(data)->commandLine;
    for (const CommandLineOption& option : commandLine.options) {
        if (std::string("--") + option.name != name)
            continue;
        if (option.take(value ? value : ""))
            return TRUE;
        g_set_error(error, G_OPTION_ERROR, G_OPTION_ERROR_BAD_VALUE,
            commandLine.refusedValue.c_str(), value ? value : "", name);
        return FALSE;
    }
    return FALSE;
}

} // namespace

// As GNU and GLib programs do: --help (GLib's, which exits) and --version
// print on standard output and succeed; an unknown option or a refused value
// says so on standard error, with a pointer to --help, and fails.
int ApplicationGtk::run(int argc, char** argv, const CommandLine& commandLine)
{
    gboolean version = FALSE;
    std::vector<GOptionEntry> entries {
        { "version", 0, 0, G_OPTION_ARG_NONE, &version, commandLine.versionHelp.c_str(), nullptr },
    };
    for (const CommandLineOption& option : commandLine.options)
        entries.push_back(
            { option.name.c_str(), 0, option.valueName.empty() ? G_OPTION_FLAG_NO_ARG : 0,
                G_OPTION_ARG_CALLBACK, reinterpret_cast<gpointer>(takeOption), option.help.c_str(),
                option.valueName.empty() ? nullptr : option.valueName.c_str() });
    entries.push_back({});
    OwnOptions own { &commandLine };
    GOptionGroup* group = g_option_group_new(nullptr, nullptr, nullptr, &own, nullptr);
    g_option_group_add_entries(group, entries.data());
    GOptionContext* context = g_option_context_new(nullptr);
    g_option_context_set_main_group(context, group);
    g_option_context_set_summary(context, commandLine.summary.c_str());
    if (!commandLine.description.empty())
        g_option_context_set_description(context, commandLine.description.c_str());
    GError* error = nullptr;
    bool parsed = g_option_context_parse(context, &argc, &argv, &error);
    g_option_context_free(context);
    if (!parsed) {
        g_printerr("%s: %s\n", g_get_prgname(), error->message);
        g_printerr(commandLine.tryHelp.c_str(), g_get_prgname());
        g_printerr("\n");
        g_error_free(error);
        return 2;
    }
    if (version) {
        g_print("%s\n", commandLine.version.c_str());
        return 0;
    }
    // The window class matches the installed desktop entry's name.
    g_set_prgname(m_applicationID.c_str());
    DisplayServer::chooseBackend();
    // A second launch, with whatever arguments, only brings the running
    // assistant forward.
    return g_application_run(G_APPLICATION(m_application), 0, nullptr);
}

void ApplicationGtk::startup(GApplication* application, ApplicationGtk* self)
{
    // The program keeps running whatever its windows do; only terminate()
    // ends it.
    g_application_hold(application);

    // A request from the system to stop goes the same way as the menu's quit.
    auto onSignal = +[](gpointer data) -> gboolean {
        static_cast<ApplicationGtk*>(data)->terminate();
        return G_SOURCE_CONTINUE;
    };
    g_unix_signal_add(SIGTERM, onSignal, self);
    g_unix_signal_add(SIGINT, onSignal, self);
    g_unix_signal_add(SIGHUP, onSignal, self);

    // Every event of the program's windows passes here first.
    gdk_event_handler_set(handleEvent, self, nullptr);
}

// Someone at the station moved the pointer, touched, clicked, scrolled or
// typed; windows that come and go under a still pointer are no one.
void ApplicationGtk::handleEvent(GdkEvent* event, gpointer data)
{
    switch (event->type) {
    case GDK_MOTION_NOTIFY:
    case GDK_BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
    case GDK_SCROLL:
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
    case GDK_TOUCHPAD_SWIPE:
    case GDK_TOUCHPAD_PINCH:
        static_cast<ApplicationGtk*>(data)->m_lastUserInput = g_get_monotonic_time() / 1e6;
        break;
    default:
        break;
    }
    gtk_main_do_event(event);
}

void ApplicationGtk::activate(GApplication* application, ApplicationGtk* self)
{
    if (!self->m_delegate || self->m_terminating)
        return;
    if (!self->m_launched) {
        self->m_launched = true;
        self->m_delegate->applicationDidFinishLaunching();
        return;
    }
    bool hasVisibleWindows = false;
    for (GList* window = gtk_application_get_windows(GTK_APPLICATION(application)); window;
         window = window->next)
        hasVisibleWindows |= gtk_widget_get_visible(GTK_WIDGET(window->data));
    self->m_delegate->applicationShouldHandleReopen(hasVisibleWindows);
}

// Every application on Linux has its windows in the task switcher; there is
// no other policy to set.
void ApplicationGtk::setActivationPolicy(ActivationPolicy) { }

// The menu goes to the application as a GMenu, for desktops that show a menu
// bar of their own, and each window's title strip offers the application menu
// from a button. Items run on the main thread; shortcuts take the primary
// modifier (Ctrl).
void ApplicationGtk::setMainMenu(const Menu& menu)
{
    GMenu* bar = buildMenu(menu.items);
    gtk_application_set_menubar(m_application, G_MENU_MODEL(bar));
    if (m_applicationMenu)
        g_object_unref(m_applicationMenu);
    m_applicationMenu = nullptr;
    for (const MenuItem& item : menu.items) {
        if (!item.submenu.empty()) {
            m_applicationMenu = G_MENU_MODEL(buildMenu(item.submenu));
            break;
        }
    }
    g_object_unref(bar);
}

GMenu* ApplicationGtk::buildMenu(const std::vector<MenuItem>& items)
{
    GMenu* menu = g_menu_new();
    GMenu* section = g_menu_new();
    auto closeSection = [&] {
        if (g_menu_model_get_n_items(G_MENU_MODEL(section)))
            g_menu_append_section(menu, nullptr, G_MENU_MODEL(section));
        g_object_unref(section);
        section = g_menu_new();
    };
    for (const MenuItem& item : items) {
        if (item.isSeparator) {
            closeSection();
            continue;
        }
        if (!item.submenu.empty()) {
            GMenu* submenu = buildMenu(item.submenu);
            g_menu_append_submenu(section, item.title.c_str(), G_MENU_MODEL(submenu));
            g_object_unref(submenu);
            continue;
        }
        if (!item.action) {
            g_menu_append(section, item.title.c_str(), nullptr);
            continue;
        }
        std::string name = "orvi-menu-" + std::to_string(m_menuActions.size());
        m_menuActions.push_back(std::make_unique<std::function<void()>>(item.action));
        GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
        g_signal_connect(action, "activate",
            G_CALLBACK(+[](GSimpleAction*, GVariant*, std::function<void()>* run) { (*run)(); }),
            m_menuActions.back().get());
        g_action_map_add_action(G_ACTION_MAP(m_application), G_ACTION(action));
        g_object_unref(action);
        std::string detailed = "app." + name;
        g_menu_append(section, item.title.c_str(), detailed.c_str());
        if (!item.keyEquivalent.empty()) {
            std::string accelerator = "<Primary>" + item.keyEquivalent;
            const char* accelerators[] = { accelerator.c_str(), nullptr };
            gtk_application_set_accels_for_action(m_application, detailed.c_str(), accelerators);
        }
    }
    closeSection();
    g_object_unref(section);
    return menu;
}

// Linux has no application-wide hiding, so there is nothing to undo.
void ApplicationGtk::unhide() { }

// The front window of the application takes the focus, without waiting for a
// user event.
void ApplicationGtk::activateIgnoringOtherApps(bool)
{
    GtkWindow* window = gtk_application_get_active_window(m_application);
    if (!window || !gtk_widget_get_visible(GTK_WIDGET(window))
        || !gtk_window_get_accept_focus(window))
        return;
    DisplayServer::current().present(window);
}

void ApplicationGtk::terminate()
{
    if (m_terminating)
        return;
    if (m_delegate && m_delegate->applicationShouldTerminate() != TerminateReply::now)
        return;
    m_terminating = true;
    if (m_delegate)
        m_delegate->applicationWillTerminate();
    // An alert waiting for an answer would hold the quit until answered.
    AlertGtk::quitting();
    g_application_quit(G_APPLICATION(m_application));
}

} // namespace orvi::gtk
