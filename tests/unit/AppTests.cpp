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

// The page's globals and its message name are in place before the web view
// exists, and the controller takes the name over only once it is whole.
TEST_F(AppTest, LaunchDoesEverythingInOrderAndChecksQuietlyThreeSecondsLater)
{
    AppDelegate(platform, "/nowhere")
        .applicationWillTerminate(); // a quit before launch ends nothing
    EXPECT_TRUE(platform.calls.empty());
    platform.put(autostart, "stale");
    delegate.applicationDidFinishLaunching();
    auto id = platform.reloaded()->stringForKey("OrviDesktopGuestMemberID").value_or("?");
    EXPECT_EQ(platform.calls,
        (Journal { "policy 0", "menu", "mkdir /home/guest/.config/autostart 700",
            "write " + autostart + " 644",
            "begin 10000ffffff Keep the Orvi public assistant ready for voice requests",
            "make configuration", "javaScript 1", "needsUser 0", "mediaStreams 1",
            "mkdir /home/guest/.config/orvi 700",
            "write /home/guest/.config/orvi/defaults.json 600",
            "script 01 window.ORVI_MEMBER_ID = '" + id + "'; window.ORVI_KIOSK = true;",
            "handler+ orvi", "make web view", "make window 0,0 1180x780 32783", "w0.movable 1",
            "w0.level 3", "w0.behavior 257", "w0.frame 10,20 1280x772", "handler- orvi",
            "handler+ orvi",
            "load file:///opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/ <p>page</p>",
            "after 5", "w0.deminiaturize", "w0.frame 10,20 1280x772", "w0.alpha 1",
            "w0.ignoresMouse 0", "w0.ignoresKeys 0", "w0.level 3", "unhide", "w0.front", "w0.key",
            "activate 1", resumed, "after 3" }));
    EXPECT_EQ(platform.configurations[0]->handlers.at("orvi"), delegate.windowController());
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

    // A collapse leaves a 2x2 window at the work area's corner and the bubble;
    // a wake brings the window forward, also when it already fills the work
    // area; a close quits, and the window stays until the process ends.
    for (int collapse = 0; collapse < 2; collapse++) {
        platform.configurations[0]->post({ { "type", "minimize" } });
        platform.configurations[0]->post({ { "type", "wake" } });
    }
    // One bubble, made once, on every workspace and beside full-screen windows.
    EXPECT_EQ(std::tuple(platform.count("w0.frame 10,20 2x2"),
                  platform.count("make button 0,0 112x112"), platform.count("w1.behavior 257")),
        std::tuple(2L, 1L, 1L));
    platform.configurations[0]->post({ { "type", "wake" } });
    EXPECT_FALSE(platform.windows[0]->delegate->windowShouldClose());
    EXPECT_EQ(Journal(platform.calls.end() - 4, platform.calls.end()),
        (Journal { "activate 1", resumed, "terminate", "end" }));
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
    EXPECT_EQ(platform.requested, std::vector(2, "https://updates.test/"s));
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
