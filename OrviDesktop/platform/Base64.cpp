#include "platform/Base64.h"

#include <openssl/evp.h>

namespace orvi {

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
    Bytes bytes(text.size() / 4 * 3);
    if (text.empty())
        return bytes;
    int written = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
        static_cast<int>(text.size()));
    if (written < 0)
        return std::nullopt;
    // The decoder counts padding as zero bytes; drop them.
    size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
    bytes.resize(static_cast<size_t>(written) - padding);
    return bytes;
}

} // namespace orvi
