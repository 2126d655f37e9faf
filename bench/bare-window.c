/* The baseline for the start-up benchmark: the least a GTK 3 + WebKitGTK
 * program needs to show the Orvi page the way orvi-desktop does. One
 * undecorated window covering the primary monitor's work area, one web view
 * filling it, the same page text (face image inlined as a data: URL), loaded
 * with webkit_web_view_load_html and a file:// base URL of the page's folder,
 * and the same two globals set before the page's scripts run (a guest member
 * ID of the same form, and the kiosk flag), so that the page shows what it
 * shows in orvi-desktop: its guest badge among others.
 *
 * It also enables in WebKit what orvi-desktop enables, so that the two start
 * the same engine: its own web context with WebKit's sandbox (the page's folder
 * readable in it), the same memory pressure settings (a quarter of the
 * machine's memory, 1-4 GiB; processes ended 15 % over it, looked at twice a
 * second), the media stream and unmuted autoplay.
 *
 *   bare-window [--accel=auto|default|never] [--no-sandbox] PATH/TO/index.html
 *
 * --accel=auto (the default) makes the same choice as orvi-desktop: the NEVER
 * hardware-acceleration policy when there is no /dev/dri/renderD* node, the
 * WebKit default otherwise. --accel=default and --accel=never force one.
 * --no-sandbox leaves the sandbox off, to measure what it costs.
 */
#include <gtk/gtk.h>
#include <string.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

static const char facePlaceholder[] = "ORVI_DEFAULT_FACE_DATA";
static const char faceImageName[] = "orvi-default.webp";

static gboolean hasRenderNode(void)
{
    GDir* dir = g_dir_open("/dev/dri", 0, NULL);
    if (!dir)
        return FALSE;
    gboolean found = FALSE;
    const char* name;
    while ((name = g_dir_read_name(dir))) {
        if (g_str_has_prefix(name, "renderD"))
            found = TRUE;
    }
    g_dir_close(dir);
    return found;
}

/* The page with every placeholder replaced by the face image's data: URL; the
 * page as it is when the image cannot be read. */
static char* pageText(const char* pagePath, GError** error)
{
    char* page;
    if (!g_file_get_contents(pagePath, &page, NULL, error))
        return NULL;

    char* folder = g_path_get_dirname(pagePath);
    char* facePath = g_build_filename(folder, faceImageName, NULL);
    g_free(folder);
    char* face;
    gsize faceLength;
    gboolean haveFace = g_file_get_contents(facePath, &face, &faceLength, NULL);
    g_free(facePath);
    if (!haveFace)
        return page;

    char* encoded = g_base64_encode((const guchar*)face, faceLength);
    char* dataURL = g_strconcat("data:image/webp;base64,", encoded, NULL);
    g_free(encoded);
    g_free(face);

    char** pieces = g_strsplit(page, facePlaceholder, -1);
    char* replaced = g_strjoinv(dataURL, pieces);
    g_strfreev(pieces);
    g_free(dataURL);
    g_free(page);
    return replaced;
}

/* What orvi-desktop's member script sets, with an ID of the same form. */
static const char pageGlobals[]
    = "window.ORVI_MEMBER_ID = 'orvi-kiosk-0b7f3a52-9c1e-4d2a-8f6b-2e5d9a1c4b70'; "
      "window.ORVI_KIOSK = true;";

static void usage(void)
{
    g_printerr("usage: bare-window [--accel=auto|default|never] [--no-sandbox] PATH/TO/index.html\n");
}

int main(int argc, char** argv)
{
    const char* accel = "auto";
    const char* pagePath = NULL;
    gboolean sandbox = TRUE;
    for (int i = 1; i < argc; i++) {
        if (g_str_has_prefix(argv[i], "--accel="))
            accel = argv[i] + strlen("--accel=");
        else if (!strcmp(argv[i], "--no-sandbox"))
            sandbox = FALSE;
        else if (argv[i][0] != '-' && !pagePath)
            pagePath = argv[i];
        else {
            usage();
            return 2;
        }
    }
    gboolean never;
    if (!strcmp(accel, "auto"))
        never = !hasRenderNode();
    else if (!strcmp(accel, "never"))
        never = TRUE;
    else if (!strcmp(accel, "default"))
        never = FALSE;
    else {
        usage();
        return 2;
    }
    if (!pagePath) {
        usage();
        return 2;
    }

    gdk_set_allowed_backends("x11");
    gtk_init(&argc, &argv);

    GError* error = NULL;
    char* page = pageText(pagePath, &error);
    if (!page) {
        g_printerr("bare-window: %s\n", error->message);
        return 1;
    }
    char* absolutePage = g_canonicalize_filename(pagePath, NULL);
    char* folder = g_path_get_dirname(absolutePage);
    char* folderURI = g_filename_to_uri(folder, NULL, &error);
    if (!folderURI) {
        g_printerr("bare-window: %s\n", error->message);
        return 1;
    }
    char* baseURL = g_str_has_suffix(folderURI, "/") ? g_strdup(folderURI)
                                                     : g_strconcat(folderURI, "/", NULL);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "bare-window");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area = { 0, 0, 1280, 800 };
    if (monitor)
        gdk_monitor_get_workarea(monitor, &area);
    gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
    gtk_window_move(GTK_WINDOW(window), area.x, area.y);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);

    guint64 memory = (guint64)sysconf(_SC_PHYS_PAGES) * (guint64)sysconf(_SC_PAGE_SIZE);
    WebKitMemoryPressureSettings* pressure = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(
        pressure, (guint)CLAMP(memory / 4 / (1 << 20), 1024, 4096));
    webkit_memory_pressure_settings_set_kill_threshold(pressure, 1.15);
    webkit_memory_pressure_settings_set_poll_interval(pressure, 0.5);
    webkit_website_data_manager_set_memory_pressure_settings(pressure);
    WebKitWebContext* context = WEBKIT_WEB_CONTEXT(
        g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", pressure, NULL));
    webkit_memory_pressure_settings_free(pressure);
    if (sandbox) {
        webkit_web_context_set_sandbox_enabled(context, TRUE);
        webkit_web_context_add_path_to_sandbox(context, folder, TRUE);
    }

    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_enable_media_stream(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    if (never)
        webkit_settings_set_hardware_acceleration_policy(
            settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    WebKitUserScript* globals = webkit_user_script_new(pageGlobals,
        WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, NULL, NULL);
    webkit_user_content_manager_add_script(content, globals);
    webkit_user_script_unref(globals);
    WebKitWebsitePolicies* policies
        = webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, NULL);
    GtkWidget* webView = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
        "settings", settings, "user-content-manager", content, "website-policies", policies, NULL));
    g_object_unref(policies);
    g_object_unref(settings);
    g_object_unref(content);
    g_object_unref(context);
    gtk_container_add(GTK_CONTAINER(window), webView);

    webkit_web_view_load_html(WEBKIT_WEB_VIEW(webView), page, baseURL);
    gtk_widget_show_all(window);

    g_free(page);
    g_free(absolutePage);
    g_free(folder);
    g_free(folderURI);
    g_free(baseURL);

    gtk_main();
    return 0;
}
