#pragma once

#include "platform/WebView.h"
#include "platform/gtk/ScreenGtk.h"

#include <functional>
#include <gtk/gtk.h>

namespace orvi::gtk {

// The question put to the user when a page wants the camera and the
// microphone: a modal dialog over the window it belongs to (in the middle of
// the work area when that window is too small to show it), in the words the
// program gives, above the floating assistant and with the keyboard. One at a
// time. Every question is answered exactly once: Allow allows, anything else
// (the other button, Escape, closing it, the program quitting while it is
// open, a second question while it is open, a new page) refuses. Main thread only.
class MediaCapturePromptGtk {
public:
    explicit MediaCapturePromptGtk(const ScreenGtk& screen)
        : m_screen(screen)
    {
    }
    ~MediaCapturePromptGtk();

    MediaCapturePromptGtk(const MediaCapturePromptGtk&) = delete;
    MediaCapturePromptGtk& operator=(const MediaCapturePromptGtk&) = delete;

    // `parent` may be null. `who` names who asks (empty for the program's own
    // page).
    void ask(GtkWindow* parent, const PermissionPrompt&, const std::string& who,
        std::function<void(bool allowed)> answered);
    // Refuses the question still open, if any: the page that asked is gone.
    void close();

private:
    void finish(bool allowed);
    static void responded(GtkDialog*, gint response, MediaCapturePromptGtk*);
    static void destroyed(GtkWidget*, MediaCapturePromptGtk*);

    const ScreenGtk& m_screen;
    GtkWidget* m_dialog { nullptr };
    std::function<void(bool)> m_answered;
};

} // namespace orvi::gtk
