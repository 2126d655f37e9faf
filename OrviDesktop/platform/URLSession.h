#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <optional>
#include <string>

namespace orvi {

// Plain HTTPS GET requests, each on a worker thread.
class URLSession {
public:
    virtual ~URLSession() = default;

    // Starts a GET of `url` and returns at once. The completion runs exactly
    // once, on a worker thread (never the main thread), with the response body
    // whatever the status, or nothing when no usable body arrived (no
    // connection, a refused certificate or redirect, too slow, too large, or
    // the process is quitting). A request cannot be cancelled.
    virtual void dataTask(
        const std::string& url, std::function<void(std::optional<Bytes> body)> completion)
        = 0;
};

} // namespace orvi
