#include "platform/Base64.h"

#include <gtest/gtest.h>

using namespace orvi;

namespace {

Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(Base64, EncodesAndDecodesTheStandardVectors)
{
    const std::pair<std::string_view, std::string_view> vectors[] = {
        { "", "" },
        { "f", "Zg==" },
        { "fo", "Zm8=" },
        { "foo", "Zm9v" },
        { "foob", "Zm9vYg==" },
        { "fooba", "Zm9vYmE=" },
        { "foobar", "Zm9vYmFy" },
    };
    for (auto [plain, encoded] : vectors) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(base64Encode(bytesOf(plain)), encoded);
        EXPECT_EQ(base64Decode(encoded), bytesOf(plain));
    }
}

TEST(Base64, CarriesEveryByteValueWithTheStandardAlphabet)
{
    EXPECT_EQ(base64Encode({ 0x00, 0xFF, 0x00 }), "AP8A");
    EXPECT_EQ(base64Encode({ 0xFB, 0xEF, 0xBE }), "++++");
    EXPECT_EQ(base64Encode({ 0xFF, 0xFF, 0xFF }), "////");

    Bytes all;
    for (int value = 0; value < 256; ++value)
        all.push_back(uint8_t(value));
    for (size_t length : { size_t(1), size_t(2), size_t(255), size_t(256) }) {
        Bytes prefix(all.begin(), all.begin() + long(length));
        std::string text = base64Encode(prefix);
        EXPECT_EQ(text.size(), 4 * ((length + 2) / 3));
        EXPECT_EQ(base64Decode(text), prefix) << length;
    }
}

TEST(Base64, RefusesTextThatIsNotPaddedStandardBase64)
{
    const std::string_view invalid[] = {
        "Zg", "Zg=", "Zm9", "Zm9vY", // not a whole number of quads
        "Zm9-", "Zm_v", // the URL-safe alphabet
        "Zm9v!!!!", "Zm 9", // stray characters
        "Zm9v    ", "    Zm9v", "Zm9v\n\n\n\n", "Zg==    ", // blanks around the text
        "Zg==Zm9v", "Zm=v", "Z===", "====", // padding where it cannot be
    };
    for (auto text : invalid)
        EXPECT_EQ(base64Decode(text), std::nullopt) << '"' << text << '"';
}
