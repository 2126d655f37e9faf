#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(UserDefaultsConversion, ValuesReadAsTextAndAsYesOrNo)
{
    fake::FakePlatform platform;
    auto& defaults = platform.userDefaults();
    // Text reads as yes when, after blanks, one sign and leading zeros, it
    // starts with Y, y, T, t or 1 to 9. Null stores nothing.
    for (const auto& [value, text, yes] :
        std::initializer_list<std::tuple<DefaultsValue, std::optional<std::string>, bool>> {
            { "guest", "guest", false }, { 42, "42", true }, { 0, "0", false },
            { 0.5, "0.5", true }, { 2.0, "2", true }, { 0.0, "0", false }, { true, "1", true },
            { false, "0", false }, { DefaultsValue::array({ "1" }), {}, false },
            { nullptr, {}, false }, { "YES", "YES", true }, { "yes", "yes", true },
            { "true", "true", true }, { "T", "T", true }, { " +01", " +01", true },
            { "-0", "-0", false }, { "0.5", "0.5", false }, { "++1", "++1", false } }) {
        defaults.setObject(value, "key");
        EXPECT_EQ(std::pair(defaults.stringForKey("key"), defaults.boolForKey("key")),
            std::pair(text, yes))
            << value.dump();
    }
}
