#pragma once

#include <functional>

namespace orvi {

// Work for the main thread, run from its event loop in submission order.
class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Safe to call from any thread.
    virtual void async(std::function<void()>) = 0;
    // Runs the work once, no earlier than `seconds` from now.
    virtual void asyncAfter(double seconds, std::function<void()>) = 0;
};

} // namespace orvi
