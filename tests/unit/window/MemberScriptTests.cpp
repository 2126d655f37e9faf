#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"
#include "window/PageContract.h"

#include <gtest/gtest.h>

using namespace orvi;

namespace {

const std::string opening = "window.ORVI_MEMBER_ID = '";
const std::string closing = "'; window.ORVI_KIOSK = true;";

// What a JavaScript engine makes of the single-quoted string in the script,
// for the escapes the script may use. Nothing when the literal would end
// early, break across lines or use another escape.
std::optional<std::string> pageReads(const std::string& script)
{
    if (!script.starts_with(opening) || !script.ends_with(closing))
        return std::nullopt;
    std::string literal
        = script.substr(opening.size(), script.size() - opening.size() - closing.size());
    std::string text;
    for (size_t i = 0; i < literal.size(); ++i) {
        char c = literal[i];
        if (c == '\'' || c == '\n' || c == '\r' || c == '\0')
            return std::nullopt;
        if (literal.compare(i, 3, "\xE2\x80\xA8") == 0
            || literal.compare(i, 3, "\xE2\x80\xA9") == 0)
            return std::nullopt;
        if (c != '\\') {
            text += c;
            continue;
        }
        std::string_view rest = std::string_view(literal).substr(i + 1);
        const std::pair<std::string_view, std::string_view> escapes[] = {
            { "\\", "\\" },
            { "'", "'" },
            { "n", "\n" },
            { "r", "\r" },
            { "x00", std::string_view("\0", 1) },
            { "u2028", "\xE2\x80\xA8" },
            { "u2029", "\xE2\x80\xA9" },
        };
        bool known = false;
        for (auto [escape, meaning] : escapes) {
            if (rest.starts_with(escape)) {
                text += meaning;
                i += escape.size();
                known = true;
                break;
            }
        }
        if (!known)
            return std::nullopt;
    }
    return text;
}

} // namespace

TEST(MemberScript, AMadeIdentifierAppearsAsItIs)
{
    fake::FakePlatform platform;
    std::string id = OrviWindowController::memberID(platform.userDefaults());
    EXPECT_EQ(PageContract::memberScript(id), opening + id + closing);
}

TEST(MemberScript, ThePageReadsBackExactlyTheStoredText)
{
    using namespace std::string_literals;
    const std::string ids[] = {
        "",
        "it's",
        "'; window.ORVI_KIOSK = false; '",
        "back\\slash",
        "ends with a backslash\\",
        "\\'",
        "line\nbreak",
        "carriage\rreturn",
        "line\xE2\x80\xA8separator",
        "paragraph\xE2\x80\xA9separator",
        "\xE2\x80\xA8\xE2\x80\xA9",
        "nul\0inside"s,
        "\0"s,
        "x\\x00",
        "caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA7",
        "cut short \xE2\x80",
        "</script>\t\"double\"",
    };
    for (const auto& id : ids) {
        std::string script = PageContract::memberScript(id);
        EXPECT_EQ(pageReads(script), id) << script;
    }
    EXPECT_EQ(PageContract::memberScript("it's"), opening + "it\\'s" + closing);
    EXPECT_EQ(PageContract::memberScript("nul\0"s), opening + "nul\\x00" + closing);
}
