// Any three byte strings as versions: the comparison never crashes, no version
// is newer than itself, never both ways, and "newer" chains.
#include "update/VersionComparison.h"

#include <cstdlib>
#include <string_view>

using namespace orvi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Three versions separated by NUL bytes (a NUL inside a version is fine
    // too: the last part takes the rest).
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t first = input.find('\0');
    size_t second = first == std::string_view::npos ? first : input.find('\0', first + 1);
    std::string_view a = input.substr(0, first);
    std::string_view b = first == std::string_view::npos ? std::string_view() : input.substr(first + 1, second - first - 1);
    std::string_view c = second == std::string_view::npos ? std::string_view() : input.substr(second + 1);

    if (isVersionNewer(a, a) || isVersionNewer(b, b))
        std::abort();
    bool ab = isVersionNewer(a, b);
    bool ba = isVersionNewer(b, a);
    if (ab && ba)
        std::abort();
    if (ab && isVersionNewer(b, c) && !isVersionNewer(a, c))
        std::abort();
    return 0;
}
