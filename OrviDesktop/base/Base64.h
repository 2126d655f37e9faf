#pragma once

#include "base/Bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvi {

// Standard Base64 (RFC 4648) without line breaks.
std::string base64Encode(const Bytes&);
// Nothing for text that is not padded standard Base64.
std::optional<Bytes> base64Decode(std::string_view);

} // namespace orvi
