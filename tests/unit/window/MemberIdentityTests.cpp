#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using namespace orvi;
using namespace orvi::fake;

namespace {

const std::string key = "OrviDesktopGuestMemberID";

bool isMadeIdentifier(const std::string& id)
{
    static const std::regex shape(
        "orvi-kiosk-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    return id.size() == 47 && std::regex_match(id, shape);
}

} // namespace

TEST(MemberIdentity, AStoredTextIsUsedAsItIsAndAnythingElseIsReplaced)
{
    struct Case {
        const char* name;
        std::optional<DefaultsValue> stored;
        std::optional<std::string> kept; // nothing: a new identifier is made
    };
    const Case cases[] = {
        { "nothing stored", std::nullopt, std::nullopt },
        { "empty text", "", std::nullopt },
        { "blanks only", "   ", "   " },
        { "someone else's text", "Guest-007 'front desk'", "Guest-007 'front desk'" },
        { "a number", 42, "42" },
        { "a list", DefaultsValue::array({ "orvi-kiosk-x" }), std::nullopt },
        { "a dictionary", DefaultsValue { { "id", "orvi-kiosk-x" } }, std::nullopt },
        { "data", DefaultsValue::binary({ 'o', 'r', 'v', 'i' }), std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        auto& defaults = platform.userDefaults();
        if (c.stored)
            defaults.setObject(*c.stored, key);

        std::string id = OrviWindowController::memberID(defaults);
        if (c.kept) {
            EXPECT_EQ(id, *c.kept);
            EXPECT_EQ(defaults.objectForKey(key), c.stored);
        } else {
            EXPECT_TRUE(isMadeIdentifier(id)) << id;
            EXPECT_EQ(defaults.objectForKey(key), DefaultsValue(id));
        }
        EXPECT_EQ(OrviWindowController::memberID(defaults), id);
        EXPECT_EQ(OrviWindowController::memberID(*platform.reloadedDefaults()), id);
    }
}

TEST(MemberIdentity, EveryStationGetsItsOwnIdentifier)
{
    std::set<std::string> made;
    for (int station = 0; station < 20; ++station) {
        FakePlatform platform;
        made.insert(OrviWindowController::memberID(platform.userDefaults()));
    }
    EXPECT_EQ(made.size(), 20u);
}
