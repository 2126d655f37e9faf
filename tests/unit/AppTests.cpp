#include "app/AppDelegate.h"
#include "app/AutostartEntry.h"
#include "support/FakePlatform.h"
#include "update/UpdateCheck.h"

#include <gtest/gtest.h>
#include <thread>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

namespace {

const std::string autostart = "/home/guest/.config/autostart/ai.orvi.orvi-desktop.desktop";
const std::string resumed = "eval window.orviResume && window.orviResume()";
const std::string upToDate = "alert Orvi Desktop is up to date|You have version 1.4.1.|OK";

// The program, running version 1.4.1.
struct AppTest : ::testing::Test {
    AppTest() { platform.setDelegate(&delegate); }
    void choose(size_t item) { platform.menu.items.at(0).submenu.at(item).action(); }
    static std::string ready(Text version)
    {
        return "alert Orvi Desktop " + version + " is ready|N.|Download Update|Later";
    }
    static std::string manifest(Text version, Text url = "https://x/")
    {
        return R"({"macOS":{"version":")" + version + R"(","downloadURL":")" + url
            + R"(","notes":"N."}})";
    }

    FakePlatform platform;
    AppDelegate delegate { platform, "/nowhere" };
};

} // namespace

// What must come before what: the menu before the start-at-login entry, the
// activity before the page, the page's globals, sandbox and memory limit before
// the web view, the handler taken over before the load, the window shown after
// it; and the quiet update check three seconds later.
TEST_F(AppTest, LaunchDoesEverythingInOrderAndChecksQuietlyThreeSecondsLater)
{
    AppDelegate(platform, "/nowhere")
        .applicationWillTerminate(); // a quit before launch ends nothing
    EXPECT_EQ(platform.calls, Journal { "stopping" });
    platform.put(autostart, "stale");
    auto options = delegate.commandLine().options;
    EXPECT_FALSE(options.at(0).take("12x"));
    EXPECT_TRUE(options.at(0).take("300"));
    delegate.applicationDidFinishLaunching();
    auto at = [&](Text prefix) {
        auto found = std::find_if(platform.calls.begin(), platform.calls.end(),
            [&](Text call) { return call.starts_with(prefix); });
        return found == platform.calls.end() ? -1 : found - platform.calls.begin();
    };
    for (auto [first, then] : std::initializer_list<std::pair<const char*, const char*>> {
             { "menu", "write /home/guest/.config/autostart" },
             { "begin 10000ffffff Keep", "make web view" }, { "memoryLimit 300", "make web view" },
             { "sandbox", "make web view" },
             { "readable /opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources", "make web view" },
             { "script 01 window.ORVI_MEMBER_ID = 'orvi-kiosk-", "make web view" },
             { "handler- orvi",
                 "load file:///opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/" },
             { "load ", "w0.key" }, { "w0.key", "after 3" } })
        EXPECT_TRUE(at(first) >= 0 && at(first) < at(then)) << first << " before " << then;
    EXPECT_EQ(platform.configurations[0]->handlers.at("orvi"), delegate.windowController());
    EXPECT_EQ(platform.logged.at(0),
        "1 Web content runs in a "
        "sandbox|ORVI_EVENT=sandbox|ORVI_SANDBOX=on|ORVI_MEMORY_LIMIT_MIB=300");
    auto& menu = platform.menu.items.at(0); // untitled, with a line before Quit
    EXPECT_EQ(std::tuple(menu.title, menu.submenu.size(), menu.submenu.at(2).isSeparator),
        std::tuple("", 4u, true));
    EXPECT_EQ(platform.text(autostart),
        "[Desktop Entry]\nType=Application\nName=Orvi Desktop\nComment=Start the Orvi public "
        "assistant at login\n"
        "Exec=\"/opt/orvi/bin/orvi-desktop\"\nIcon=ai.orvi.orvi-desktop\nTerminal=false\n"
        "X-GNOME-Autostart-enabled=true\n");

    EXPECT_EQ(platform.advance(3), 1);
    ASSERT_EQ(platform.requested.size(), 1u);
    platform.calls.clear();
    platform.respond(manifest("1.4.1"));
    platform.advance();
    EXPECT_TRUE(platform.calls.empty()); // the running version, and silent
    EXPECT_FALSE(platform.windows[0]->delegate->windowShouldClose());
    EXPECT_EQ(platform.calls, (Journal { "terminate", "stopping", "end" }));
}

// Without a sandbox the station says so, even when nothing else is logged;
// the page's memory limit follows the machine's memory.
TEST(WebContent, WithoutASandboxTheStationSaysSoAndTheLimitFollowsTheMachine)
{
    FakePlatform platform;
    platform.sandboxFailure = "no user namespaces";
    OrviWindowController controller(platform, "/nowhere", 300);
    EXPECT_EQ(platform.logged.at(0),
        "2 Web content runs without a sandbox: no user namespaces|ORVI_EVENT=sandbox|"
        "ORVI_SANDBOX=off|ORVI_MEMORY_LIMIT_MIB=300");
    for (auto [memory, limit] :
        { std::pair { 2ULL << 30, 1024 }, { 12ULL << 30, 3072 }, { 64ULL << 30, 4096 } })
        EXPECT_EQ(OrviWindowController::memoryLimitFor(memory), uint64_t(limit));
}

// A service manager hears that the program is ready once the window is shown,
// that it is alive every half interval while the page is looked after (not
// when the page stays stuck and nothing brings it back), and that it stops;
// and the program writes no start-at-login entry of its own under it.
TEST_F(AppTest, AServiceManagerHearsOfTheProgramWhileThePageIsLookedAfter)
{
    platform.watchdog = 2;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(std::pair(platform.count("ready"), platform.calls.back()), std::pair(1L, "after 3"s));
    EXPECT_EQ(platform.text(autostart), "-");
    platform.webView->endsWhenTold = false; // the page is stuck and stays so
    std::vector<long> alive;
    for (int second = 0; second < 30; second += 10)
        platform.advance(10), alive.push_back(platform.count("alive"));
    EXPECT_EQ(alive, (std::vector<long> { 11, 21, 21 })); // every second from 0 s to 20 s
    platform.terminate();
    EXPECT_EQ(
        Journal(platform.calls.end() - 2, platform.calls.end()), (Journal { "stopping", "end" }));
}

// In order: silent once per version, remembered before the alert; asked for,
// always; equal or older; no manifest; downloads; no version of its own.
TEST_F(AppTest, UpdateChecksSpeakOnlyWhenTheyShould)
{
    // Remembered on disk before the first alert, so quitting while it is up keeps it.
    std::optional<bool> noticedWhileShown;
    platform.whileAlertShown = [&] {
        if (!noticedWhileShown)
            noticedWhileShown = platform.reloaded()->boolForKey("OrviDesktopUpdateNotice.1.4.2");
    };
    const long later = AlertResponse::secondButton, download = AlertResponse::firstButton;
    for (auto [silent, body, answer, seen] :
        std::initializer_list<std::tuple<bool, std::optional<std::string>, long, std::string>> {
            { true, manifest("1.4.2"), later, ready("1.4.2") },
            { true, manifest("1.4.2"), later, "" },
            { false, manifest("1.4.2"), later, ready("1.4.2") },
            { false, manifest("1.5"), download, ready("1.5") + "open https://x/" },
            { true, manifest("1.5"), later, "" }, { true, manifest("1.4.1"), later, "" },
            { false, manifest("1.4.1"), later, upToDate },
            { false, manifest("1.3.9"), later, upToDate }, { false, {}, download, "" },
            { false, "<html>404</html>", download, "" },
            { false, manifest("2", "http://o/"), download, ready("2") + "open http://o/" },
            { false, manifest("4", "file:///bin/sh"), download, ready("4") },
            { false, manifest("5", "not a url"), download, ready("5") } }) {
        platform.calls.clear();
        platform.answer = answer;
        UpdateCheck::start(platform, "https://updates.test/", silent);
        platform.respond(body);
        platform.advance();
        std::string shown;
        for (Text call : platform.calls)
            shown += call.starts_with("alert ") || call.starts_with("open ") ? call : "";
        EXPECT_EQ(shown, seen) << silent << " " << body.value_or("(nothing)");
    }
    EXPECT_EQ(noticedWhileShown, true);
    platform.version.reset(), platform.calls.clear();
    UpdateCheck::start(platform, "https://updates.test/", false);
    platform.respond(manifest("0")), platform.advance();
    EXPECT_EQ(
        platform.calls, Journal { "alert Orvi Desktop is up to date|You have version 0.|OK" });
}

TEST_F(AppTest, ChecksAnswerOnTheMainQueueAndNeverWaitForEachOther)
{
    UpdateCheck::start(platform, "https://bad host/", false);
    UpdateCheck::start(platform, "https://updates.test/", true);
    UpdateCheck::start(platform, "https://updates.test/", false);
    EXPECT_EQ(platform.requested, std::vector(2, "https://updates.test/ 1048576"s));
    std::thread([this] {
        platform.respond(manifest("2.0")), platform.respond(manifest("2.0"));
    }).join();
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(platform.advance(), 2);
    EXPECT_EQ(platform.count(ready("2.0")), 2);
}

TEST(StartAtLogin, TheLaunchAgentGoesIntoTheUserLibraryAndTheExecIsQuoted)
{
    FakePlatform platform;
    platform.library = "/Users/guest/Library";
    AppDelegate(platform, "/nowhere").applicationDidFinishLaunching();
    EXPECT_TRUE(
        platform.text("/Users/guest/Library/LaunchAgents/ai.orvi.orvi-desktop.plist")
            .ends_with(
                "<array><string>/opt/orvi/bin/Contents/MacOS/OrviDesktop</string></array>\n  "
                "<key>RunAtLoad</key><true/>\n  <key>KeepAlive</key><false/>\n</dict></plist>"));
    EXPECT_EQ(platform.text(autostart), "-");

    for (auto [path, exec] : { std::pair { "/a b", R"("/a b")" }, { "/100%", R"("/100%%")" },
             { "/$x/`y`/\"z\"", R"("/\\$x/\\`y\\`/\\"z\\"")" }, { "/a\\b", R"("/a\\\\b")" } })
        EXPECT_NE(AutostartEntry::text("i", path).find("\nExec=" + std::string(exec) + "\n"),
            std::string::npos)
            << path;
    platform.calls.clear(); // a path that is not UTF-8 cannot go into an entry
    AutostartEntry::install(platform, "/home/guest/.config", "ai.orvi.orvi-desktop", "/\xFF");
    EXPECT_TRUE(platform.calls.empty());
}

// "a>b": a is newer than b; "a!>b": it is not.
TEST(VersionComparison, ComparesPieceByPiece)
{
    for (std::string row :
        { "1.10>1.9", "1.9!>1.10", "1.0!>1", "1!>1.0", "1.0.1>1", "2>1.9.9", "1.2!>1.2",
            "1.2.3.1>1.2.3", "V2.0!>1.0", "1.0>V2.0", "1.3-beta!>1.2", "1..2!>1.2", ".1>0.1",
            "1.01!>1.1", "0.0.1>", "!>0", "1>1.-1", "9223372036854775807>1",
            "9223372036854775808!>1", "1.2 !>1.1",
            // Signs, leading zeros, the ends of 64 bits and a fullwidth 7.
            "+2>1", "0>-1", "+!>0", "007>6", "+-1>-2", "-9223372036854775808!>-9223372036854775807",
            "-9223372036854775807>-9223372036854775808", "-9223372036854775809>-1",
            "99999999999999999999!>1", "\uFF17!>1",
            // A full stop with a combining mark or a joiner after it is one
            // character and does not split; a mark on a digit leaves the stop alone.
            "1.\u03012!>1.2", "2.\u03010!>1", "1.2>1.\u03012", "1\u0301.4>0.3", "3.\u200D1!>3",
            "1.5>1.\U0001F600" }) {
        size_t at = row.find('>');
        bool newer = at == 0 || row[at - 1] != '!';
        EXPECT_EQ(AppDelegate::isVersion(row.substr(0, at - !newer), row.substr(at + 1)), newer)
            << row;
    }
    EXPECT_TRUE(AppDelegate::isVersion("1.\xFF.2", "1.0.1"));
}

TEST(ManifestDecoding, AcceptsOnlyWholeManifestsAndKeepsTheirValuesAsWritten)
{
    const std::string plain = R"({"macOS":{"version":"x","downloadURL":"x","notes":"x"}})";
    auto with = [&](Text key, Text value) {
        return std::string(plain).replace(plain.find(key) + key.size() + 2, 3, value);
    };
    auto deep = [&](size_t n) {
        return R"({"x":)" + std::string(n, '[') + std::string(n, ']') + "," + plain.substr(1);
    };
    const std::pair<std::string, bool> documents[] = { { plain, true },
        { "\xEF\xBB\xBF " + plain + "\n", true },
        { R"({"w":{},"macOS":{"notes":"n","beta":1,"version":"2","downloadURL":"u","x":null},"z":[1]})",
            true },
        { with("version", R"("")"), true }, { deep(400), true }, { "", false },
        { "<html>502</html>", false }, { plain + " x", false }, { "[" + plain + "]", false },
        { R"({"macOS":null})", false }, { R"({"macos":)" + plain.substr(9), false },
        { with("notes", "null"), false }, { with("version", "1.4"), false },
        { R"({"macOS":{"version":"1","downloadUrl":"u","notes":"n"}})", false },
        { R"({"macOS":{"downloadURL":"u","notes":"n"}})", false },
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
