#include "window/OrviWindowController.h"

#include "base/Uuid.h"

#include <algorithm>
#include <cctype>

namespace orvi {

namespace {

constexpr const char* memberIDKey = "OrviDesktopGuestMemberID";
constexpr const char* memberIDPrefix = "orvi-kiosk-";

} // namespace

// A stored identifier is used as it is, whatever it holds, as long as it is
// non-empty text; anything else is replaced by a new one.
std::string OrviWindowController::memberID(UserDefaults& defaults)
{
    if (auto stored = defaults.stringForKey(memberIDKey); stored && !stored->empty())
        return *stored;

    std::string uuid = makeRandomUuidString();
    std::transform(
        uuid.begin(), uuid.end(), uuid.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string identifier = memberIDPrefix + uuid;
    defaults.setObject(DefaultsValue(identifier), memberIDKey);
    return identifier;
}

} // namespace orvi
