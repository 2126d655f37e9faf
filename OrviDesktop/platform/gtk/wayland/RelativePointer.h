#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <wayland-client.h>

struct zwp_relative_pointer_manager_v1;
struct zwp_relative_pointer_v1;

namespace orvi::gtk {

// How far the pointer moves, whatever moves under it. A layer surface that
// follows the pointer moves under it, so the positions its pointer events
// carry shift with each step; the relative pointer's movements do not.
// Movements come only while the pointer is over (or, with a button held,
// grabbed by) one of the program's surfaces. Main thread only.
class RelativePointer {
public:
    // `manager` may be null: then nothing moves with the pointer.
    explicit RelativePointer(zwp_relative_pointer_manager_v1* manager);
    ~RelativePointer();

    RelativePointer(const RelativePointer&) = delete;
    RelativePointer& operator=(const RelativePointer&) = delete;

    // Until stop(), each movement made after the event time `since` (in
    // milliseconds, the compositor's clock) goes to `moved`, in pixels, right
    // and down: those made already at once. Events reach the program in
    // bursts, so a gesture starts after movements that belong to it.
    void follow(uint32_t since, std::function<void(double dx, double dy)> moved);
    void stop() { m_moved = nullptr; }

private:
    void attach();
    static void motion(void*, zwp_relative_pointer_v1*, uint32_t, uint32_t, wl_fixed_t dx,
        wl_fixed_t dy, wl_fixed_t, wl_fixed_t);

    zwp_relative_pointer_manager_v1* m_manager;
    zwp_relative_pointer_v1* m_pointer { nullptr };
    wl_pointer* m_seatPointer { nullptr }; // only compared: the one m_pointer follows
    std::function<void(double, double)> m_moved;
    struct Movement {
        uint32_t time;
        double dx;
        double dy;
    };
    // The latest movements, for a gesture that starts after them.
    std::deque<Movement> m_latest;
};

} // namespace orvi::gtk
