#pragma once

#include <nlohmann/json.hpp>

namespace orvi {

// Structured values that cross the seam: script-message bodies from the page.
using JsonValue = nlohmann::json;

} // namespace orvi
