#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvi {

// A URL parsed by RFC 3986's grammar. The scheme is kept as written: no case
// folding, so "HTTPS" stays "HTTPS".
struct URL {
    std::string text;
    // Empty for a relative reference.
    std::string scheme;
};

// Nothing for text that is not a URL or relative reference (spaces, stray
// brackets, bad percent escapes, control characters).
std::optional<URL> parseURL(std::string_view);

// The scheme is exactly "https" or "http": the only URLs the program hands
// to other applications.
bool isWebURL(const URL&);

// "file:///…/" for an absolute folder path, percent-encoded, with a final
// slash so relative references resolve inside the folder.
std::string fileURLForDirectory(const std::string& path);

} // namespace orvi
