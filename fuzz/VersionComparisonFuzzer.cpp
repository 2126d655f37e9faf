// Any three byte strings as versions: the comparison never crashes, no version
// is newer than itself, never both ways, and "newer" chains.
#include "update/VersionComparison.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace orvi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Three versions separated by NUL bytes (a NUL inside a version is fine
    // too: the last part takes the rest).
    std::string_view rest(reinterpret_cast<const char*>(data), size), a, b;
    for (auto* part : { &a, &b }) {
        *part = rest.substr(0, rest.find('\0'));
        rest.remove_prefix(std::min(rest.size(), part->size() + 1));
    }
    bool ab = isVersionNewer(a, b);
    if (isVersionNewer(a, a) || (ab && isVersionNewer(b, a))
        || (ab && isVersionNewer(b, rest) && !isVersionNewer(a, rest)))
        std::abort();
    return 0;
}
