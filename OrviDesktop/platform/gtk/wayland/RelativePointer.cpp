#include "platform/gtk/wayland/RelativePointer.h"

#include "relative-pointer-unstable-v1-client-protocol.h"

#include <gdk/gdkwayland.h>

namespace orvi::gtk {

// Asked for at once, so that movements made before the first gesture are
// known to it.
RelativePointer::RelativePointer(zwp_relative_pointer_manager_v1* manager)
    : m_manager(manager)
{
    attach();
}

RelativePointer::~RelativePointer()
{
    if (m_pointer)
        zwp_relative_pointer_v1_destroy(m_pointer);
    if (m_manager)
        zwp_relative_pointer_manager_v1_destroy(m_manager);
}

namespace {

constexpr size_t latestKept = 32;

} // namespace

void RelativePointer::follow(uint32_t since, std::function<void(double dx, double dy)> moved)
{
    m_moved = std::move(moved);
    for (const Movement& movement : m_latest) {
        if (int32_t(movement.time - since) > 0)
            m_moved(movement.dx, movement.dy);
    }
    attach();
}

// Once the seat has a pointer, and again when the seat's pointer is a new one
// (the last mouse was unplugged and another plugged in).
void RelativePointer::attach()
{
    if (!m_manager)
        return;
    GdkDevice* device
        = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    wl_pointer* pointer = device ? gdk_wayland_device_get_wl_pointer(device) : nullptr;
    if (!pointer || pointer == m_seatPointer)
        return;
    if (m_pointer)
        zwp_relative_pointer_v1_destroy(m_pointer);
    m_seatPointer = pointer;
    static const zwp_relative_pointer_v1_listener listener { motion };
    m_pointer = zwp_relative_pointer_manager_v1_get_relative_pointer(m_manager, pointer);
    zwp_relative_pointer_v1_add_listener(m_pointer, &listener, this);
}

// The accelerated movement: the one the cursor makes.
void RelativePointer::motion(void* data, zwp_relative_pointer_v1*, uint32_t high, uint32_t low,
    wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t)
{
    auto* self = static_cast<RelativePointer*>(data);
    Movement movement { uint32_t(((uint64_t(high) << 32) | low) / 1000), wl_fixed_to_double(dx),
        wl_fixed_to_double(dy) };
    self->m_latest.push_back(movement);
    if (self->m_latest.size() > latestKept)
        self->m_latest.pop_front();
    if (self->m_moved)
        self->m_moved(movement.dx, movement.dy);
}

} // namespace orvi::gtk
