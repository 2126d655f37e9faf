#include "platform/gtk/WebViewGtk.h"

#include <vector>

namespace orvi::gtk {

namespace {

ContextMenuItem contextMenuItem(WebKitContextMenuAction action)
{
    switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_CUT:
        return ContextMenuItem::cut;
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
        return ContextMenuItem::copy;
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
        return ContextMenuItem::paste;
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT:
        return ContextMenuItem::pasteAsPlainText;
    case WEBKIT_CONTEXT_MENU_ACTION_DELETE:
        return ContextMenuItem::deleteSelection;
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
        return ContextMenuItem::selectAll;
    case WEBKIT_CONTEXT_MENU_ACTION_INPUT_METHODS:
        return ContextMenuItem::inputMethods;
    case WEBKIT_CONTEXT_MENU_ACTION_UNICODE:
        return ContextMenuItem::unicodeControlCharacter;
    case WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI:
        return ContextMenuItem::emoji;
    default:
        return ContextMenuItem::other;
    }
}

NavigationType navigationType(WebKitNavigationType type)
{
    switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
        return NavigationType::linkActivated;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
        return NavigationType::formSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
        return NavigationType::backForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
        return NavigationType::reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
        return NavigationType::formResubmitted;
    default:
        return NavigationType::other;
    }
}

uint32_t modifierFlags(guint modifiers)
{
    return (modifiers & GDK_SHIFT_MASK ? EventModifierFlags::shift : 0)
        | (modifiers & GDK_CONTROL_MASK ? EventModifierFlags::control : 0)
        | (modifiers & GDK_MOD1_MASK ? EventModifierFlags::option : 0)
        | (modifiers & (GDK_SUPER_MASK | GDK_MOD4_MASK) ? EventModifierFlags::command : 0);
}

bool isAttachment(WebKitURIResponse* response)
{
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    char* disposition = nullptr;
    if (!headers || !soup_message_headers_get_content_disposition(headers, &disposition, nullptr))
        return false;
    bool attachment = !g_ascii_strcasecmp(disposition, "attachment");
    g_free(disposition);
    return attachment;
}

// Whatever starts one (a link with a download attribute, a page's script),
// nothing is written.
void downloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer)
{
    webkit_download_cancel(download);
}

} // namespace

// What the engine would do on its own for the visitor beyond the page (its
// menu, a file chooser, the print dialog, downloads, new windows) is put to
// the delegates or refused here.
void WebViewGtk::limitPage()
{
    g_signal_connect(m_webView, "context-menu", G_CALLBACK(contextMenu), this);
    g_signal_connect(m_webView, "decide-policy", G_CALLBACK(decidePolicy), this);
    g_signal_connect(m_webView, "run-file-chooser",
        G_CALLBACK(+[](WebKitWebView*, WebKitFileChooserRequest* request, gpointer) -> gboolean {
            webkit_file_chooser_request_cancel(request);
            return TRUE;
        }),
        nullptr);
    // Handled, the print dialog never comes and window.print() returns at once.
    g_signal_connect(m_webView, "print",
        G_CALLBACK(
            +[](WebKitWebView*, WebKitPrintOperation*, gpointer) -> gboolean { return TRUE; }),
        nullptr);
    g_signal_connect(m_webView, "script-dialog", G_CALLBACK(pageDialogOpened), this);
    g_signal_connect(m_context.context(), "download-started", G_CALLBACK(downloadStarted), nullptr);
}

// The menu keeps the items the delegate allows, with a separator only
// between two groups of them; a menu left empty is not shown.
gboolean WebViewGtk::contextMenu(
    WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult* hit, WebViewGtk* self)
{
    bool editable = webkit_hit_test_result_context_is_editable(hit);
    std::vector<WebKitContextMenuItem*> kept;
    bool separatorDue = false;
    for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
        auto* entry = WEBKIT_CONTEXT_MENU_ITEM(item->data);
        if (webkit_context_menu_item_is_separator(entry)) {
            separatorDue = !kept.empty();
            continue;
        }
        auto asked = contextMenuItem(webkit_context_menu_item_get_stock_action(entry));
        if (!self->m_uiDelegate || !self->m_uiDelegate->contextMenuMayOffer(asked, editable))
            continue;
        if (std::exchange(separatorDue, false))
            kept.push_back(nullptr);
        kept.push_back(WEBKIT_CONTEXT_MENU_ITEM(g_object_ref(entry)));
    }
    webkit_context_menu_remove_all(menu);
    for (WebKitContextMenuItem* entry : kept) {
        webkit_context_menu_append(menu, entry ? entry : webkit_context_menu_item_new_separator());
        if (entry)
            g_object_unref(entry);
    }
    return kept.empty();
}

gboolean WebViewGtk::decidePolicy(
    WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, WebViewGtk* self)
{
    WebNavigationDelegate* delegate = self->m_navigationDelegate;
    if (!delegate)
        return FALSE;
    bool allowed;
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        allowed = delegate->decidePolicyForNavigationResponse(NavigationResponse {
                      bool(webkit_response_policy_decision_is_mime_type_supported(response)),
                      isAttachment(webkit_response_policy_decision_get_response(response)) })
            == NavigationResponsePolicy::allow;
    } else {
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        allowed = delegate->decidePolicyForNavigationAction(NavigationAction {
                      navigationType(webkit_navigation_action_get_navigation_type(action)),
                      webkit_navigation_action_get_mouse_button(action),
                      modifierFlags(webkit_navigation_action_get_modifiers(action)),
                      type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION })
            == NavigationActionPolicy::allow;
    }
    if (allowed)
        webkit_policy_decision_use(decision);
    else
        webkit_policy_decision_ignore(decision);
    return TRUE;
}

// WebKit shows the dialog in the view and the page's process waits for the
// answer, so an empty script runs only once it has it. A question whether to
// leave the page is answered yes at once: no page keeps the station from
// going back to its interface.
gboolean WebViewGtk::pageDialogOpened(WebKitWebView*, WebKitScriptDialog* dialog, WebViewGtk* self)
{
    if (webkit_script_dialog_get_dialog_type(dialog)
        == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        return TRUE;
    }
    if (self->m_pageDialogs++ == 0 && self->m_uiDelegate)
        self->m_uiDelegate->webViewDidOpenPageDialog();
    self->evaluateJavaScript("0", [weakSelf = std::weak_ptr(self->m_weakSelf)] {
        auto alive = weakSelf.lock();
        WebViewGtk* view = alive ? *alive : nullptr;
        // Not for a dialog of a page whose process has ended since.
        if (view && view->m_pageDialogs > 0 && --view->m_pageDialogs == 0 && view->m_uiDelegate)
            view->m_uiDelegate->webViewDidClosePageDialog();
    });
    return FALSE;
}

} // namespace orvi::gtk
