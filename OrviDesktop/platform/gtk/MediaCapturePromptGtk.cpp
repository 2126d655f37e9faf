#include "platform/gtk/MediaCapturePromptGtk.h"

#include "platform/gtk/DialogPlacement.h"

#include <utility>

namespace orvi::gtk {

MediaCapturePromptGtk::~MediaCapturePromptGtk()
{
    close();
}

void MediaCapturePromptGtk::close()
{
    if (m_dialog)
        gtk_widget_destroy(m_dialog);
}

void MediaCapturePromptGtk::ask(GtkWindow* parent, const PermissionPrompt& prompt,
    const std::string& who, std::function<void(bool)> answered)
{
    if (m_dialog) {
        answered(false);
        return;
    }
    m_answered = std::move(answered);
    m_dialog = gtk_message_dialog_new(parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_QUESTION,
        GTK_BUTTONS_NONE, "%s", prompt.question.c_str());
    if (!who.empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(m_dialog), "%s", who.c_str());
    gtk_dialog_add_button(GTK_DIALOG(m_dialog), prompt.deny.c_str(), GTK_RESPONSE_REJECT);
    gtk_dialog_add_button(GTK_DIALOG(m_dialog), prompt.allow.c_str(), GTK_RESPONSE_ACCEPT);
    gtk_dialog_set_default_response(GTK_DIALOG(m_dialog), GTK_RESPONSE_ACCEPT);
    g_signal_connect(m_dialog, "response", G_CALLBACK(responded), this);
    // The dialog may go before it is answered: with the window it belongs to
    // when the program quits, whichever goes first.
    g_signal_connect(m_dialog, "destroy", G_CALLBACK(destroyed), this);
    showDialog(GTK_WINDOW(m_dialog), parent, m_screen);
}

void MediaCapturePromptGtk::finish(bool allowed)
{
    if (auto answered = std::exchange(m_answered, nullptr))
        answered(allowed);
}

void MediaCapturePromptGtk::responded(GtkDialog* dialog, gint response, MediaCapturePromptGtk* self)
{
    g_signal_handlers_disconnect_by_data(dialog, self);
    self->m_dialog = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    self->finish(response == GTK_RESPONSE_ACCEPT);
}

void MediaCapturePromptGtk::destroyed(GtkWidget*, MediaCapturePromptGtk* self)
{
    self->m_dialog = nullptr;
    self->finish(false);
}

} // namespace orvi::gtk
