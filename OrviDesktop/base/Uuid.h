#pragma once

#include <string>

namespace orvi {

// A random (version 4) UUID in its standard text form, upper case.
std::string makeRandomUuidString();

} // namespace orvi
