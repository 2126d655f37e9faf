#include "update/OrviDesktopUpdateManifest.h"

#include <gtest/gtest.h>

using namespace orvi;

namespace {

struct Document {
    const char* name;
    std::string text;
    bool decodes;
};

class ManifestDecodingTest : public ::testing::TestWithParam<Document> { };

std::optional<OrviDesktopUpdateManifest> decode(const std::string& text)
{
    return OrviDesktopUpdateManifest::decode(Bytes(text.begin(), text.end()));
}

const std::string release
    = R"({"version":"1.4.2","downloadURL":"https://example.org/d","notes":"Faster."})";

std::string nested(size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

} // namespace

TEST_P(ManifestDecodingTest, AcceptsOnlyWholeManifests)
{
    EXPECT_EQ(decode(GetParam().text).has_value(), GetParam().decodes);
}

INSTANTIATE_TEST_SUITE_P(Documents, ManifestDecodingTest,
    ::testing::Values(Document { "Plain", R"({"macOS":)" + release + "}", true },
        Document { "ExtraKeysAtBothLevels",
            R"({"windows":{},"macOS":{"notes":"n","beta":true,"version":"2","downloadURL":"u","x":null},"z":[1]})",
            true },
        Document {
            "EmptyStrings", R"({"macOS":{"version":"","downloadURL":"","notes":""}})", true },
        Document { "Whitespace", " \n\t{ \"macOS\" : " + release + " } \r\n", true },
        Document { "ByteOrderMark", "\xEF\xBB\xBF{\"macOS\":" + release + "}", true },
        Document { "EscapedNul", R"({"macOS":{"version":"1\u0000","downloadURL":"u","notes":"n"}})",
            true },
        Document { "Unicode",
            R"({"macOS":{"version":"1.2","downloadURL":"u","notes":"Schneller \u00fc \ud83d\ude00"}})",
            true },
        Document { "Empty", "", false }, Document { "Blank", "   ", false },
        Document { "NotJSON", "<html>502</html>", false },
        Document { "TrailingGarbage", R"({"macOS":)" + release + "} x", false },
        Document {
            "TrailingComma", R"({"macOS":{"version":"1","downloadURL":"u","notes":"n",}})", false },
        Document { "SingleQuotes", "{'macOS':" + release + "}", false },
        Document { "TopLevelArray", "[{\"macOS\":" + release + "}]", false },
        Document { "TopLevelString", "\"macOS\"", false },
        Document { "TopLevelNull", "null", false },
        Document { "MacOSNull", R"({"macOS":null})", false },
        Document { "MacOSArray", "{\"macOS\":[" + release + "]}", false },
        Document { "MacOSMissing", "{\"macos\":" + release + "}", false },
        Document {
            "NotesNull", R"({"macOS":{"version":"1","downloadURL":"u","notes":null}})", false },
        Document {
            "VersionNumber", R"({"macOS":{"version":1.4,"downloadURL":"u","notes":"n"}})", false },
        Document {
            "NotesBoolean", R"({"macOS":{"version":"1","downloadURL":"u","notes":false}})", false },
        Document {
            "URLArray", R"({"macOS":{"version":"1","downloadURL":["u"],"notes":"n"}})", false },
        Document {
            "LowerCaseUrl", R"({"macOS":{"version":"1","downloadUrl":"u","notes":"n"}})", false },
        Document {
            "SnakeCaseUrl", R"({"macOS":{"version":"1","download_url":"u","notes":"n"}})", false },
        Document { "VersionMissing", R"({"macOS":{"downloadURL":"u","notes":"n"}})", false },
        Document { "RawNulInString",
            std::string("{\"macOS\":{\"version\":\"1") + '\0'
                + "\",\"downloadURL\":\"u\",\"notes\":\"n\"}}",
            false },
        Document { "InvalidUTF8",
            "{\"macOS\":{\"version\":\"\xFF\",\"downloadURL\":\"u\",\"notes\":\"n\"}}", false },
        Document { "LoneSurrogate",
            R"({"macOS":{"version":"\ud800","downloadURL":"u","notes":"n"}})", false },
        Document {
            "DeepNesting", "{\"macOS\":" + release + ",\"x\":" + nested(100000) + "}", false },
        Document {
            "ModerateNesting", "{\"macOS\":" + release + ",\"x\":" + nested(400) + "}", true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ManifestDecoding, KeepsTheValuesAsWritten)
{
    std::string notes(1 << 20, 'n');
    auto manifest = decode(
        R"({"macOS":{"notes":")" + notes + R"(","downloadURL":" https://x ","version":" 1.0 "}})");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->macOS, (Release { " 1.0 ", " https://x ", notes }));
}

TEST(ManifestDecoding, TheLastOfRepeatedKeysCounts)
{
    auto manifest
        = decode(R"({"macOS":{"version":"1","version":"2","downloadURL":"u","notes":"n"}})");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->macOS.version, "2");
}

TEST(ManifestDecoding, CodingKeysMatchExactly)
{
    EXPECT_EQ(OrviDesktopUpdateManifest::codingKey("macOS"),
        OrviDesktopUpdateManifest::CodingKeys::macOS);
    EXPECT_FALSE(OrviDesktopUpdateManifest::codingKey("MacOS"));
    EXPECT_EQ(Release::codingKey("downloadURL"), Release::CodingKeys::downloadURL);
    EXPECT_FALSE(Release::codingKey("downloadUrl"));
    EXPECT_FALSE(Release::codingKey("version "));
}
