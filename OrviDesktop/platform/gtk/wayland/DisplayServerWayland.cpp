#include "platform/gtk/wayland/DisplayServerWayland.h"

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "platform/gtk/ScreenGtk.h"
#include "platform/gtk/wayland/LayerPlacement.h"
#include "platform/gtk/wayland/MonitorsWayland.h"
#include "relative-pointer-unstable-v1-client-protocol.h"

#include <cstring>
#include <gdk/gdkwayland.h>
#include <gtk-layer-shell.h>
#include <map>

namespace orvi::gtk {

namespace {

struct Globals {
    zwp_idle_inhibit_manager_v1* idleInhibitManager { nullptr };
    zwp_relative_pointer_manager_v1* relativePointerManager { nullptr };
};

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    if (!std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name))
        globals->idleInhibitManager = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    else if (!std::strcmp(interface, zwp_relative_pointer_manager_v1_interface.name))
        globals->relativePointerManager = static_cast<zwp_relative_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_relative_pointer_manager_v1_interface, 1));
}

// The surfaces that keep the display awake: one inhibitor each while mapped.
struct Inhibitions {
    Inhibitions(zwp_idle_inhibit_manager_v1* manager, GtkApplication* application)
        : manager(manager)
        , application(application)
    {
    }
    Inhibitions(const Inhibitions&) = delete;
    Inhibitions& operator=(const Inhibitions&) = delete;

    zwp_idle_inhibit_manager_v1* manager;
    GtkApplication* application;
    std::map<GtkWidget*, zwp_idle_inhibitor_v1*> inhibitors;

    void mapped(GtkWidget* window)
    {
        GdkWindow* shown = gtk_widget_get_window(window);
        wl_surface* surface = shown ? gdk_wayland_window_get_wl_surface(shown) : nullptr;
        if (surface && !inhibitors.count(window))
            inhibitors[window] = zwp_idle_inhibit_manager_v1_create_inhibitor(manager, surface);
    }
    void unmapped(GtkWidget* window)
    {
        if (auto found = inhibitors.find(window); found != inhibitors.end()) {
            zwp_idle_inhibitor_v1_destroy(found->second);
            inhibitors.erase(found);
        }
    }
    void watch(GtkWindow* window)
    {
        g_signal_connect(window, "map",
            G_CALLBACK(+[](GtkWidget* window, Inhibitions* self) { self->mapped(window); }), this);
        g_signal_connect(window, "unmap",
            G_CALLBACK(+[](GtkWidget* window, Inhibitions* self) { self->unmapped(window); }),
            this);
        if (gtk_widget_get_mapped(GTK_WIDGET(window)))
            mapped(GTK_WIDGET(window));
    }
    ~Inhibitions()
    {
        g_signal_handlers_disconnect_by_data(application, this);
        for (GList* window = gtk_application_get_windows(application); window;
             window = window->next)
            g_signal_handlers_disconnect_by_data(window->data, this);
        for (auto& [window, inhibitor] : inhibitors)
            zwp_idle_inhibitor_v1_destroy(inhibitor);
        wl_display_flush(gdk_wayland_display_get_wl_display(gdk_display_get_default()));
    }
};

} // namespace

// The globals are bound on a queue of the program's, so that GDK's own events
// are not dispatched under its feet; what is made from them then goes back to
// GDK's queue, where its events are dispatched.
DisplayServerWayland::DisplayServerWayland()
{
    wl_display* display = gdk_wayland_display_get_wl_display(gdk_display_get_default());
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* registry = static_cast<wl_registry*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(registry), queue);
    wl_registry* bound = wl_display_get_registry(reinterpret_cast<wl_display*>(registry));
    wl_proxy_wrapper_destroy(registry);
    Globals globals;
    static const wl_registry_listener listener { announced, [](void*, wl_registry*, uint32_t) {} };
    wl_registry_add_listener(bound, &listener, &globals);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(bound);
    for (void* global : { static_cast<void*>(globals.idleInhibitManager),
             static_cast<void*>(globals.relativePointerManager) }) {
        if (global)
            wl_proxy_set_queue(static_cast<wl_proxy*>(global), nullptr);
    }
    wl_event_queue_destroy(queue);
    m_idleInhibitManager = globals.idleInhibitManager;
    m_relativePointer = std::make_unique<RelativePointer>(globals.relativePointerManager);
}

DisplayServerWayland::~DisplayServerWayland()
{
    if (m_idleInhibitManager)
        zwp_idle_inhibit_manager_v1_destroy(m_idleInhibitManager);
}

std::unique_ptr<Monitors> DisplayServerWayland::makeMonitors()
{
    return std::make_unique<MonitorsWayland>();
}

std::unique_ptr<WindowPlacement> DisplayServerWayland::makePlacement(
    GtkWindow* window, ScreenGtk& screen, const Rect& frame, std::function<void()> moved)
{
    return std::make_unique<LayerPlacement>(
        window, screen, *m_relativePointer, frame, std::move(moved));
}

void DisplayServerWayland::placeDialog(GtkWindow* dialog, GtkWindow*, const ScreenGtk& screen)
{
    gtk_layer_init_for_window(dialog);
    gtk_layer_set_namespace(dialog, "ai.orvi.orvi-desktop");
    gtk_layer_set_layer(dialog, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_mode(dialog, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    gtk_layer_set_monitor(dialog, screen.mainMonitor());
}

void DisplayServerWayland::present(GtkWindow* window)
{
    if (auto* placement
        = static_cast<WindowPlacement*>(g_object_get_data(G_OBJECT(window), "orvi-placement")))
        placement->present();
    else
        gtk_window_present(window);
}

std::shared_ptr<void> DisplayServerWayland::keepDisplayAwake(GtkApplication* application)
{
    if (!m_idleInhibitManager || !application)
        return nullptr;
    auto inhibitions = std::make_shared<Inhibitions>(m_idleInhibitManager, application);
    g_signal_connect(application, "window-added",
        G_CALLBACK(
            +[](GtkApplication*, GtkWindow* window, Inhibitions* self) { self->watch(window); }),
        inhibitions.get());
    for (GList* window = gtk_application_get_windows(application); window; window = window->next)
        inhibitions->watch(GTK_WINDOW(window->data));
    return inhibitions;
}

} // namespace orvi::gtk
