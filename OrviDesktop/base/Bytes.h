#pragma once

#include <cstdint>
#include <vector>

namespace orvi {

// The contents of a file, a download or decoded Base64.
using Bytes = std::vector<uint8_t>;

} // namespace orvi
