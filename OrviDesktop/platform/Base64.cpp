#include "platform/Base64.h"

#include <nettle/base64.h>

#include <algorithm>

namespace orvi {

namespace {

bool isBase64Letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+'
        || c == '/';
}

} // namespace

std::string base64Encode(const Bytes& bytes)
{
    std::string text(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
    base64_encode_raw(text.data(), bytes.size(), bytes.data());
    return text;
}

std::optional<Bytes> base64Decode(std::string_view text)
{
    if (text.size() % 4)
        return std::nullopt;
    // The decoder skips blanks anywhere; only letters of the alphabet may
    // come before the padding.
    size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    if (!std::all_of(text.begin(), text.end() - long(padding), isBase64Letter))
        return std::nullopt;
    Bytes bytes(BASE64_DECODE_LENGTH(text.size()));
    base64_decode_ctx decoder;
    base64_decode_init(&decoder);
    size_t written = 0;
    if (!base64_decode_update(&decoder, &written, bytes.data(), text.size(), text.data())
        || !base64_decode_final(&decoder))
        return std::nullopt;
    bytes.resize(written);
    return bytes;
}

} // namespace orvi
