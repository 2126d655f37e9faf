#pragma once

#include "platform/MainQueue.h"

namespace orvi::gtk {

// Idle and timeout sources on GLib's default main context, which the GTK main
// loop runs. Adding them is safe from any thread.
class MainQueueGLib final : public MainQueue {
public:
    void async(std::function<void()>) override;
    void asyncAfter(double seconds, std::function<void()>) override;
};

} // namespace orvi::gtk
