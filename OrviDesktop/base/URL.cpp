#include "base/URL.h"

#include <uriparser/Uri.h>

#include <vector>

namespace orvi {

std::optional<URL> parseURL(std::string_view text)
{
    // The parser reads up to a terminator; a NUL inside the text would hide
    // the rest of it.
    if (text.find('\0') != std::string_view::npos)
        return std::nullopt;
    UriUriA uri;
    const char* errorPosition = nullptr;
    if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &errorPosition)
        != URI_SUCCESS)
        return std::nullopt;
    URL url { std::string(text), {} };
    if (uri.scheme.first)
        url.scheme.assign(uri.scheme.first, uri.scheme.afterLast);
    uriFreeUriMembersA(&uri);
    return url;
}

bool isWebURL(const URL& url)
{
    return url.scheme == "https" || url.scheme == "http";
}

std::string fileURLForDirectory(const std::string& path)
{
    std::vector<char> buffer(8 + 3 * path.size() + 1);
    if (uriUnixFilenameToUriStringA(path.c_str(), buffer.data()) != URI_SUCCESS)
        return {};
    std::string url = buffer.data();
    if (!url.ends_with('/'))
        url += '/';
    return url;
}

} // namespace orvi
