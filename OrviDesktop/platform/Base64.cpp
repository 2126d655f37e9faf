#include "platform/Base64.h"

#include <openssl/evp.h>

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
    std::string text(4 * ((bytes.size() + 2) / 3), '\0');
    if (bytes.empty())
        return text;
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
        static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(written));
    return text;
}

std::optional<Bytes> base64Decode(std::string_view text)
{
    if (text.size() % 4)
        return std::nullopt;
    // The decoder below skips blanks around the text and takes '=' anywhere;
    // only letters of the alphabet may come before the padding.
    size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    if (!std::all_of(text.begin(), text.end() - long(padding), isBase64Letter))
        return std::nullopt;
    Bytes bytes(text.size() / 4 * 3);
    if (text.empty())
        return bytes;
    int written = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
        static_cast<int>(text.size()));
    if (written < 0)
        return std::nullopt;
    // The decoder counts padding as zero bytes; drop them.
    bytes.resize(static_cast<size_t>(written) - padding);
    return bytes;
}

} // namespace orvi
