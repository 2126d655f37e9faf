#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"
#include "window/PageContract.h"

#include <gtest/gtest.h>
#include <regex>

using namespace orvi;
using namespace std::string_literals;

// A stored text is the member ID as it is, whatever it holds; anything else
// (nothing, empty text, a list) gives a new one, kept for the next launch.
// Whatever the ID holds, the script's single-quoted literal reads back as it.
TEST(MemberScript, EscapesTheIDSoItsLiteralReadsBackExactly)
{
    const std::regex fresh("orvi-kiosk-[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}");
    for (auto [stored, kept] :
        { std::pair<DefaultsValue, const char*> { "   ", "   " }, { 42, "42" }, { "", nullptr },
            { DefaultsValue::array({ "x" }), nullptr }, { DefaultsValue(), nullptr } }) {
        fake::FakePlatform platform;
        platform.userDefaults().setObject(stored, "OrviDesktopGuestMemberID");
        std::string id = OrviWindowController::memberID(platform.userDefaults());
        EXPECT_TRUE(kept ? id == kept : std::regex_match(id, fresh)) << id; // nullptr: a new one
        EXPECT_EQ(OrviWindowController::memberID(*platform.reloaded()), id);
    }
    for (auto [id, literal] :
        { std::pair { "it's"s, R"(it\'s)"s }, { "back\\slash\\", R"(back\\slash\\)" },
            { "line\nbreak\rreturn", R"(line\nbreak\rreturn)" }, { "nul\0x00"s, R"(nul\x00x00)" },
            { "\u2028\u2029", R"(\u2028\u2029)" },
            { "caf\u00E9 \U0001F600 \u2027", "caf\u00E9 \U0001F600 \u2027" },
            { "cut \xE2\x80", "cut \xE2\x80" } })
        EXPECT_EQ(PageContract::memberScript(id),
            "window.ORVI_MEMBER_ID = '" + literal + "'; window.ORVI_KIOSK = true;");
}
