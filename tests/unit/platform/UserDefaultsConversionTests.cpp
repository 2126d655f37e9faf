#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using namespace orvi;

namespace {

// Holds at most one value, under "key".
class OneValue final : public UserDefaults {
public:
    explicit OneValue(std::optional<DefaultsValue> value)
        : m_value(std::move(value))
    {
    }
    std::optional<DefaultsValue> objectForKey(const std::string& key) const override
    {
        return key == "key" ? m_value : std::nullopt;
    }
    void setObject(const DefaultsValue& value, const std::string&) override { m_value = value; }

private:
    std::optional<DefaultsValue> m_value;
};

const DefaultsValue list = DefaultsValue::array({ "1" });
const DefaultsValue dictionary = DefaultsValue { { "yes", true } };
const DefaultsValue data = DefaultsValue::binary({ '1' });

} // namespace

TEST(UserDefaultsConversion, ValuesReadAsText)
{
    struct Case {
        const char* name;
        std::optional<DefaultsValue> stored;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        { "text", "guest", "guest" },
        { "blanks are kept", "  guest \n", "  guest \n" },
        { "empty text", "", "" },
        { "integer", 42, "42" },
        { "negative integer", -7, "-7" },
        { "real", 1.5, "1.5" },
        { "integral real", 2.0, "2" },
        { "negative real", -0.25, "-0.25" },
        { "true", true, "1" },
        { "false", false, "0" },
        { "list", list, std::nullopt },
        { "dictionary", dictionary, std::nullopt },
        { "data", data, std::nullopt },
        { "missing", std::nullopt, std::nullopt },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OneValue(c.stored).stringForKey("key"), c.text) << c.name;
        EXPECT_EQ(OneValue(c.stored).stringForKey("other"), std::nullopt) << c.name;
    }
}

TEST(UserDefaultsConversion, ValuesReadAsYesOrNo)
{
    const std::pair<std::optional<DefaultsValue>, bool> values[] = { { true, true },
        { false, false }, { 42, true }, { -1, true }, { 0, false }, { 0.5, true }, { 0.0, false },
        { list, false }, { dictionary, false }, { data, false }, { std::nullopt, false } };
    for (const auto& [stored, yes] : values)
        EXPECT_EQ(OneValue(stored).boolForKey("key"), yes) << (stored ? stored->dump() : "missing");

    // After blanks, one sign and leading zeros: yes when Y, y, T, t or 1 to 9.
    for (const char* text :
        { "YES", "yes", "true", "T", "tomorrow", " 1", "+01", "\t\n 9", "-5", "1.5", "y" })
        EXPECT_TRUE(OneValue(DefaultsValue(text)).boolForKey("key")) << '"' << text << '"';
    for (const char* text :
        { "0", "000", "-0", "0.5", "0x1", "++1", "no", "false", "", "   ", "N", "- 1" })
        EXPECT_FALSE(OneValue(DefaultsValue(text)).boolForKey("key")) << '"' << text << '"';
}
