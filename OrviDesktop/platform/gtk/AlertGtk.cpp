#include "platform/gtk/AlertGtk.h"

#include "platform/gtk/DialogPlacement.h"

#include <algorithm>

namespace orvi::gtk {

namespace {

std::vector<GtkDialog*>& runningAlerts()
{
    static std::vector<GtkDialog*> alerts;
    return alerts;
}

bool programQuitting = false;

} // namespace

long AlertGtk::runModal()
{
    if (programQuitting)
        return AlertResponse::cancelled;
    GtkApplication* application = GTK_APPLICATION(g_application_get_default());
    GtkWindow* parent = mainWindowOf(application);
    GtkWidget* dialog = gtk_message_dialog_new(
        parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", m_message.c_str());
    if (!m_informative.empty())
        gtk_message_dialog_format_secondary_text(
            GTK_MESSAGE_DIALOG(dialog), "%s", m_informative.c_str());
    // Added last to first, so the first button ends up in the default place.
    for (size_t i = m_buttons.size(); i-- > 0;)
        gtk_dialog_add_button(
            GTK_DIALOG(dialog), m_buttons[i].c_str(), int(AlertResponse::firstButton + long(i)));
    if (!m_buttons.empty())
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), int(AlertResponse::firstButton));
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    showDialog(GTK_WINDOW(dialog), parent, m_screen);

    runningAlerts().push_back(GTK_DIALOG(dialog));
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    auto& alerts = runningAlerts();
    alerts.erase(std::remove(alerts.begin(), alerts.end(), GTK_DIALOG(dialog)), alerts.end());
    gtk_widget_destroy(dialog);

    if (response >= int(AlertResponse::firstButton)
        && response < int(AlertResponse::firstButton + long(m_buttons.size())))
        return response;
    return AlertResponse::cancelled;
}

void AlertGtk::quitting()
{
    programQuitting = true;
    for (GtkDialog* dialog : std::vector<GtkDialog*>(runningAlerts()))
        gtk_dialog_response(dialog, GTK_RESPONSE_DELETE_EVENT);
}

} // namespace orvi::gtk
