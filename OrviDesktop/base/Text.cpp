#include "base/Text.h"

#include <unistr.h>

namespace orvi {

bool isValidUTF8(std::string_view text)
{
    return !u8_check(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool isValidUTF8(const Bytes& bytes)
{
    return !u8_check(bytes.data(), bytes.size());
}

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash ? path.substr(0, slash) : "/";
}

std::string replacingPlaceholder(std::string_view text, std::string_view value)
{
    std::string result(text);
    if (auto at = result.find("%s"); at != std::string::npos)
        result.replace(at, 2, value);
    return result;
}

} // namespace orvi
