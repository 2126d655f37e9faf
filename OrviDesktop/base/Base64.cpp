#include "base/Base64.h"

#include <absl/strings/escaping.h>

#include <algorithm>

namespace orvi {

namespace {

bool isBase64Letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+'
        || c == '/';
}

} // namespace

// Abseil rather than a library of its own: WebKitGTK's process has it loaded
// already, and every library the program adds makes each start slower.
std::string base64Encode(const Bytes& bytes)
{
    return absl::Base64Escape(
        absl::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<Bytes> base64Decode(std::string_view text)
{
    if (text.size() % 4)
        return std::nullopt;
    // The decoder skips blanks and does without padding; only letters of the
    // alphabet may come before the padding.
    size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    if (!std::all_of(text.begin(), text.end() - long(padding), isBase64Letter))
        return std::nullopt;
    std::string decoded;
    if (!absl::Base64Unescape(absl::string_view(text.data(), text.size()), &decoded))
        return std::nullopt;
    return Bytes(decoded.begin(), decoded.end());
}

} // namespace orvi
