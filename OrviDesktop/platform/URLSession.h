#pragma once

#include "base/Bytes.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace orvi {

// How far a request may go before it counts as failed.
struct URLRequestLimits {
    // A larger body counts as none.
    size_t maximumBodySize;
    // Redirects followed, each to https only.
    int maximumRedirects;
    // A transfer that makes no progress this long is given up.
    unsigned stallSeconds;
};

// Plain HTTPS GET requests, each on a worker thread.
class URLSession {
public:
    virtual ~URLSession() = default;

    // Starts a GET of `url` and returns at once. The completion runs exactly
    // once, on a worker thread (never the main thread), with the response body
    // whatever the status, or nothing when no usable body arrived (no
    // connection, a refused certificate or redirect, beyond the limits, or the
    // process is quitting). A request cannot be cancelled.
    virtual void dataTask(const std::string& url, const URLRequestLimits&,
        std::function<void(std::optional<Bytes> body)> completion)
        = 0;
};

} // namespace orvi
