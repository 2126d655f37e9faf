#include "update/OrviDesktopUpdateManifest.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(ManifestDecoding, AcceptsOnlyWholeManifestsAndKeepsTheirValuesAsWritten)
{
    const std::string plain = R"({"macOS":{"version":"x","downloadURL":"x","notes":"x"}})";
    auto with = [&](const std::string& key, const std::string& value) {
        return std::string(plain).replace(plain.find(key) + key.size() + 2, 3, value);
    };
    auto deep = [&](size_t n) {
        return R"({"x":)" + std::string(n, '[') + std::string(n, ']') + "," + plain.substr(1);
    };
    const std::pair<std::string, bool> documents[] = { { plain, true },
        { "\xEF\xBB\xBF " + plain + "\n", true },
        { R"({"w":{},"macOS":{"notes":"n","beta":1,"version":"2","downloadURL":"u","x":null},"z":[1]})",
            true },
        { with("version", R"("")"), true }, { deep(400), true }, { "<html>502</html>", false },
        { plain + " x", false }, { "[" + plain + "]", false }, { R"({"macOS":null})", false },
        { R"({"macos":)" + plain.substr(9), false }, { with("version", "1.4"), false },
        { R"({"macOS":{"version":"1","downloadUrl":"u","notes":"n"}})", false },
        { with("version", "\"\xFF\""), false }, { deep(100000), false } };
    for (const auto& [text, decodes] : documents)
        EXPECT_EQ(
            OrviDesktopUpdateManifest::decode(Bytes(text.begin(), text.end())).has_value(), decodes)
            << text.substr(0, 100);

    // The last of repeated keys counts.
    const std::string notes(1 << 20, 'n'),
        text = R"({"macOS":{"version":"1","notes":")" + notes
        + R"(","downloadURL":" https://x ","version":" 1.0 "}})";
    auto decoded = OrviDesktopUpdateManifest::decode(Bytes(text.begin(), text.end()));
    EXPECT_EQ(decoded.value_or(OrviDesktopUpdateManifest {}).macOS,
        (Release { " 1.0 ", " https://x ", notes }));
}
