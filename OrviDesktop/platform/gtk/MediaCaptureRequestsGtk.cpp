#include "platform/gtk/WebViewGtk.h"

namespace orvi::gtk {

namespace {

std::string originOf(WebKitWebView* webView)
{
    const gchar* uri = webkit_web_view_get_uri(webView);
    if (!uri)
        return {};
    WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri);
    gchar* text = webkit_security_origin_to_string(origin);
    std::string result = text ? text : "";
    g_free(text);
    webkit_security_origin_unref(origin);
    return result;
}

MediaCaptureType captureType(WebKitUserMediaPermissionRequest* request)
{
    if (webkit_user_media_permission_is_for_display_device(request))
        return MediaCaptureType::other;
    bool audio = webkit_user_media_permission_is_for_audio_device(request);
    bool video = webkit_user_media_permission_is_for_video_device(request);
    if (audio && video)
        return MediaCaptureType::cameraAndMicrophone;
    if (video)
        return MediaCaptureType::camera;
    if (audio)
        return MediaCaptureType::microphone;
    return MediaCaptureType::other;
}

} // namespace

// Capture requests go to the program's UI delegate. WebKitGTK has no prompt of
// its own (an unanswered request is denied), so the prompt is asked here, in
// the program's words. A
// request for the device list is answered as WebKit does elsewhere: the names
// once the page may capture, none before.
gboolean WebViewGtk::permissionRequest(
    WebKitWebView* webView, WebKitPermissionRequest* request, WebViewGtk* self)
{
    if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) {
        if (self->m_captureGranted)
            webkit_permission_request_allow(request);
        else
            webkit_permission_request_deny(request);
        return TRUE;
    }
    if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request) || !self->m_uiDelegate)
        return FALSE;

    MediaCaptureType type = captureType(WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request));
    g_object_ref(request);
    auto answered = std::make_shared<bool>(false);
    self->m_uiDelegate->requestMediaCapturePermission(
        originOf(webView), type, [self, request, type, answered](PermissionDecision decision) {
            if (*answered)
                return;
            *answered = true;
            self->answer(request, type, decision);
        });
    return TRUE;
}

void WebViewGtk::answer(
    WebKitPermissionRequest* request, MediaCaptureType type, PermissionDecision decision)
{
    if (decision == PermissionDecision::prompt) {
        GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(m_webView));
        // A web origin says who asks; the program's own local page needs no name.
        std::string origin = originOf(m_webView);
        if (origin == "null" || origin.starts_with("file:"))
            origin.clear();
        m_prompt.ask(gtk_widget_is_toplevel(toplevel) ? GTK_WINDOW(toplevel) : nullptr,
            m_uiDelegate->mediaCapturePrompt(type), origin,
            // Refused also while the view goes, which must touch nothing of it.
            [this, request, type](bool allowed) {
                answer(
                    request, type, allowed ? PermissionDecision::grant : PermissionDecision::deny);
            });
        return;
    }
    if (decision == PermissionDecision::grant) {
        m_captureGranted = true;
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
    g_object_unref(request);
}

} // namespace orvi::gtk
