#pragma once

#include "platform/URLSession.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace orvi::gtk {

// GET requests with libcurl, one worker thread each. TLS is always verified
// against the system's certificate store (plus, in test builds, a test
// server's authority). Redirects are followed only to https and
// at most five times; a transfer that makes no progress for 60 seconds is
// given up; a body is read up to 1 MiB, and a larger one counts as none.
//
// Destroying the session stops every request within about a second and waits
// for the workers, so quitting never hangs on the network.
class URLSessionCurl final : public URLSession {
public:
    URLSessionCurl();
    ~URLSessionCurl() override;

    void dataTask(
        const std::string& url, std::function<void(std::optional<Bytes>)> completion) override;

    static constexpr size_t maximumBodySize = 1 << 20;
    static constexpr long maximumRedirects = 5;
    static constexpr long stallSeconds = 60;

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> finished { false };
    };
    void joinFinishedWorkers();

    std::atomic<bool> m_stopping { false };
    std::mutex m_lock;
    std::list<std::unique_ptr<Worker>> m_workers;
};

} // namespace orvi::gtk
