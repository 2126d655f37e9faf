#include "platform/UserDefaults.h"

#include <cmath>
#include <cstdint>

namespace orvi {

namespace {

// Integral reals read like integers ("1", not "1.0"), as the system's own
// number formatting does.
std::string numberText(const DefaultsValue& number)
{
    if (number.is_number_float()) {
        double value = number.get<double>();
        if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
            return std::to_string(static_cast<int64_t>(value));
    }
    return number.dump();
}

// The system's text-to-boolean rule: after blanks, a sign and leading zeros,
// a text is yes when it starts with Y, y, T, t or a digit 1 to 9.
bool textReadsAsYes(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()
        && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i == text.size())
        return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

} // namespace

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const
{
    auto value = objectForKey(key);
    if (!value)
        return std::nullopt;
    if (value->is_string())
        return value->get<std::string>();
    if (value->is_boolean())
        return value->get<bool>() ? "1" : "0";
    if (value->is_number())
        return numberText(*value);
    return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const
{
    auto value = objectForKey(key);
    if (!value)
        return false;
    if (value->is_boolean())
        return value->get<bool>();
    if (value->is_number_float())
        return value->get<double>() != 0;
    if (value->is_number())
        return !(*value == 0);
    if (value->is_string())
        return textReadsAsYes(value->get<std::string>());
    return false;
}

void UserDefaults::setBool(bool value, const std::string& key)
{
    setObject(DefaultsValue(value), key);
}

} // namespace orvi
