#pragma once

#include "platform/URLSession.h"

#include <gio/gio.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace orvi::gtk {

// GET requests with libsoup, which the web view has loaded already, so the
// update check adds no library of its own to the program's start-up. One
// worker thread per request, with a session used only there. TLS is always
// verified against the system's certificate store (plus, in test builds, a
// test server's authority). Redirects are followed only to https, as far as
// the request's limits allow.
//
// Destroying the session cancels every request and waits for the workers, so
// quitting never hangs on the network.
class URLSessionSoup final : public URLSession {
public:
    URLSessionSoup();
    ~URLSessionSoup() override;

    void dataTask(const std::string& url, const URLRequestLimits&,
        std::function<void(std::optional<Bytes>)> completion) override;

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> finished { false };
    };
    void joinFinishedWorkers();

    GCancellable* m_stopping;
    std::mutex m_lock;
    std::list<std::unique_ptr<Worker>> m_workers;
};

} // namespace orvi::gtk
