#include "platform/gtk/DisplayServer.h"

#include "platform/gtk/wayland/DisplayServerWayland.h"
#include "platform/gtk/x11/DisplayServerX11.h"

#include <cstring>
#include <gdk/gdkwayland.h>
#include <wayland-client.h>

namespace orvi::gtk {

namespace {

// Asked of the compositor itself, before GDK connects: GDK picks its backend
// once and cannot change it afterwards.
bool compositorOffersLayerShell()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool offered = false;
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener {
        [](void* offered, wl_registry*, uint32_t, const char* interface, uint32_t) {
            *static_cast<bool*>(offered) |= !std::strcmp(interface, "zwlr_layer_shell_v1");
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, &offered);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return offered;
}

} // namespace

// A GDK_BACKEND that asks for another than the one chosen would keep GDK
// from opening any display; it is dropped, and the programs the station
// opens (the web browser) choose for themselves.
void DisplayServer::chooseBackend()
{
    const char* asked = g_getenv("GDK_BACKEND");
    const char* chosen = (asked && !std::strcmp(asked, "x11")) || !compositorOffersLayerShell()
        ? "x11"
        : "wayland";
    if (asked && std::strcmp(asked, chosen))
        g_unsetenv("GDK_BACKEND");
    gdk_set_allowed_backends(chosen);
}

DisplayServer& DisplayServer::current()
{
    static std::unique_ptr<DisplayServer> server;
    if (!server) {
        if (GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()))
            server = std::make_unique<DisplayServerWayland>();
        else
            server = std::make_unique<DisplayServerX11>();
    }
    return *server;
}

} // namespace orvi::gtk
