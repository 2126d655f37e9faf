#include "support/FakePlatform.h"
#include "update/UpdateCheck.h"

#include <gtest/gtest.h>
#include <thread>

using namespace orvi;
using namespace orvi::fake;

namespace {

constexpr const char* endpoint = "https://updates.test/api/downloads/orvi-desktop-update.json";

std::string manifest(const std::string& version,
    const std::string& url = "https://example.org/orvi-1.4.2.dmg",
    const std::string& notes = "Clearer voice.")
{
    return JsonValue {
        { "macOS", { { "version", version }, { "downloadURL", url }, { "notes", notes } } }
    }.dump();
}

class UpdateCheckTest : public ::testing::Test {
protected:
    // Runs one check to its end: the server answers `body`, the user answers
    // `choice` if asked.
    void check(
        bool silent, std::optional<std::string> body, long choice = AlertResponse::secondButton)
    {
        platform.alertResponses = { choice };
        UpdateCheck::start(platform, endpoint, silent);
        ASSERT_EQ(platform.session.pendingCount(), 1u);
        platform.session.respond(std::move(body));
        platform.queue.advance();
    }

    size_t alerts() const { return platform.alertsShown.size(); }
    const FakeAlert::Shown& lastAlert() const { return platform.alertsShown.back(); }
    bool noticed(const std::string& version)
    {
        return platform.userDefaults().boolForKey("OrviDesktopUpdateNotice." + version);
    }

    FakePlatform platform;
};

} // namespace

TEST_F(UpdateCheckTest, ASilentCheckAnnouncesANewVersionOnce)
{
    check(true, manifest("1.4.2"), AlertResponse::secondButton);
    ASSERT_EQ(alerts(), 1u);
    EXPECT_EQ(lastAlert().messageText, "Orvi Desktop 1.4.2 is ready");
    EXPECT_EQ(lastAlert().informativeText, "Clearer voice.");
    EXPECT_EQ(lastAlert().buttons, (std::vector<std::string> { "Download Update", "Later" }));
    // "Later" still remembers the notice, and opens nothing.
    EXPECT_TRUE(noticed("1.4.2"));
    EXPECT_TRUE(platform.workspaceService.opened.empty());
    // It survives a restart.
    EXPECT_TRUE(platform.reloadedDefaults()->boolForKey("OrviDesktopUpdateNotice.1.4.2"));

    check(true, manifest("1.4.2"));
    EXPECT_EQ(alerts(), 1u);

    // A later version is news again.
    check(true, manifest("1.5"));
    EXPECT_EQ(alerts(), 2u);
    EXPECT_EQ(lastAlert().messageText, "Orvi Desktop 1.5 is ready");
}

TEST_F(UpdateCheckTest, TheNoticeIsSetBeforeTheAlertIsShown)
{
    bool setWhileShown = false;
    platform.whileAlertShown = [&] { setWhileShown = noticed("1.4.2"); };
    check(true, manifest("1.4.2"), AlertResponse::cancelled);
    EXPECT_TRUE(setWhileShown);
}

TEST_F(UpdateCheckTest, ARequestedCheckAlwaysAnswersAndSilencesLaterSilentOnes)
{
    check(false, manifest("1.4.2"));
    check(false, manifest("1.4.2"));
    EXPECT_EQ(alerts(), 2u);
    EXPECT_TRUE(noticed("1.4.2"));
    check(true, manifest("1.4.2"));
    EXPECT_EQ(alerts(), 2u);
}

TEST_F(UpdateCheckTest, EqualOrOlderVersionsAreUpToDate)
{
    struct Case {
        const char* version;
        bool silent;
        bool alert;
    };
    // The running version is 1.4.1.
    for (auto [version, silent, alert] :
        { Case { "1.4.1", true, false }, Case { "1.4.1", false, true },
            Case { "1.4.1.0", false, true }, Case { "1.3.9", false, true },
            Case { "1.4", true, false }, Case { "", false, true } }) {
        size_t before = alerts();
        check(silent, manifest(version));
        EXPECT_EQ(alerts() - before, alert ? 1u : 0u) << version;
        if (alert) {
            EXPECT_EQ(lastAlert().messageText, "Orvi Desktop is up to date");
            EXPECT_EQ(lastAlert().informativeText, "You have version 1.4.1.");
            EXPECT_EQ(lastAlert().buttons, std::vector<std::string> { "OK" });
        }
        EXPECT_FALSE(noticed(version));
    }
}

TEST_F(UpdateCheckTest, WithoutAVersionOfItsOwnTheProgramIsVersionZero)
{
    platform.bundle.version.reset();
    check(false, manifest("0"));
    EXPECT_EQ(lastAlert().informativeText, "You have version 0.");
    check(false, manifest("1.0"), AlertResponse::cancelled);
    EXPECT_EQ(lastAlert().messageText, "Orvi Desktop 1.0 is ready");
}

TEST_F(UpdateCheckTest, NoUsableManifestMeansNoTrace)
{
    for (bool silent : { true, false }) {
        for (std::optional<std::string> body :
            std::initializer_list<std::optional<std::string>> { std::nullopt, std::string(),
                std::string("<html>404 Not Found</html>"), std::string("[") + manifest("9") + "]",
                std::string(R"({"macOS":{"version":"9","downloadURL":"u","notes":null}})") }) {
            check(silent, body);
            EXPECT_EQ(alerts(), 0u);
            EXPECT_EQ(platform.queue.pendingCount(), 0u);
        }
    }
    EXPECT_EQ(platform.files.writeCount, 0);
}

TEST_F(UpdateCheckTest, DownloadOpensOnlyWebAddresses)
{
    struct Case {
        const char* url;
        bool opens;
    };
    int version = 2;
    for (auto [url, opens] : { Case { "https://example.org/orvi.dmg", true },
             Case { "http://example.org/orvi", true }, Case { "", false },
             Case { "not a url", false }, Case { "file:///usr/bin/xterm", false },
             Case { "smb://server/share/orvi.desktop", false },
             Case { "HTTPS://example.org/", false }, Case { "orvi-update.desktop", false },
             Case { "javascript:alert(1)", false } }) {
        platform.workspaceService.opened.clear();
        check(false, manifest(std::to_string(version++), url), AlertResponse::firstButton);
        EXPECT_EQ(platform.workspaceService.opened.size(), opens ? 1u : 0u) << url;
        if (opens) {
            EXPECT_EQ(platform.workspaceService.opened.front(), url);
        }
    }
}

TEST_F(UpdateCheckTest, TheResultCrossesFromTheWorkerToTheMainQueue)
{
    UpdateCheck::start(platform, endpoint, true);
    EXPECT_EQ(platform.session.requestedURLs, std::vector<std::string> { endpoint });
    std::thread worker([&] { platform.session.respond(manifest("2.0")); });
    worker.join();
    // Nothing reached the user from the worker.
    EXPECT_EQ(alerts(), 0u);
    EXPECT_FALSE(noticed("2.0"));
    EXPECT_EQ(platform.queue.advance(), 1);
    EXPECT_EQ(alerts(), 1u);
}

TEST_F(UpdateCheckTest, ChecksDoNotWaitForEachOther)
{
    UpdateCheck::start(platform, endpoint, true);
    UpdateCheck::start(platform, endpoint, false);
    EXPECT_EQ(platform.session.pendingCount(), 2u);
    platform.alertResponses = { AlertResponse::secondButton, AlertResponse::secondButton };
    platform.session.respond(manifest("2.0"));
    platform.session.respond(manifest("2.0"));
    platform.queue.advance();
    // The silent one announced 2.0 first; the requested one answers anyway.
    EXPECT_EQ(alerts(), 2u);
}

TEST_F(UpdateCheckTest, AnEndpointThatIsNoURLStartsNothing)
{
    UpdateCheck::start(platform, "https://bad host/api", false);
    EXPECT_EQ(platform.session.pendingCount(), 0u);
}
