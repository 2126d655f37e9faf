#include "app/AppDelegate.h"
#include "app/AutostartEntry.h"
#include "app/LaunchAgent.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

TEST(LaunchAgent, IsTheEightLinesLaunchdExpects)
{
    std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                           "<plist version=\"1.0\"><dict>\n"
                           "  <key>Label</key><string>ai.orvi.orvi-desktop</string>\n"
                           "  <key>ProgramArguments</key><array><string>/Applications/Orvi "
                           "Desktop.app/Contents/MacOS/OrviDesktop</string></array>\n"
                           "  <key>RunAtLoad</key><true/>\n"
                           "  <key>KeepAlive</key><false/>\n"
                           "</dict></plist>";
    EXPECT_EQ(LaunchAgent::propertyList("ai.orvi.orvi-desktop", "/Applications/Orvi Desktop.app"),
        expected);
}

TEST(LaunchAgent, EscapesWhatXMLReserves)
{
    std::string text = LaunchAgent::propertyList("a&b", "/Apps/R&D <\"new\"> 'x'");
    EXPECT_NE(text.find("<string>a&amp;b</string>"), std::string::npos);
    EXPECT_NE(text.find("<string>/Apps/R&amp;D &lt;&quot;new&quot;&gt; "
                        "&apos;x&apos;/Contents/MacOS/OrviDesktop</string>"),
        std::string::npos);
}

TEST(LaunchAgent, IsWrittenEveryLaunchIntoTheLibrary)
{
    FakePlatform platform;
    platform.bundle.library = "/Users/guest/Library";
    platform.bundle.bundle = "/Applications/Orvi.app";
    const std::string path = "/Users/guest/Library/LaunchAgents/ai.orvi.orvi-desktop.plist";
    // The library is there; its agents folder is not yet.
    platform.files.createDirectories("/Users/guest/Library", 0700);

    for (int launch = 0; launch < 2; ++launch) {
        AppDelegate delegate(platform, "/nowhere");
        platform.app.setDelegate(&delegate);
        platform.app.finishLaunching();
        platform.app.setDelegate(nullptr);
        EXPECT_TRUE(platform.files.directoryExists("/Users/guest/Library/LaunchAgents"));
        EXPECT_EQ(platform.files.text(path),
            LaunchAgent::propertyList("ai.orvi.orvi-desktop", "/Applications/Orvi.app"));
        platform.files.putFile(path, "stale");
    }
    EXPECT_FALSE(
        platform.files.fileExists("/home/guest/.config/autostart/ai.orvi.orvi-desktop.desktop"));
}

TEST(AutostartEntry, IsWrittenEveryLaunchAndReplacesWhatIsThere)
{
    FakePlatform platform;
    const std::string path = "/home/guest/.config/autostart/ai.orvi.orvi-desktop.desktop";
    for (int launch = 0; launch < 2; ++launch) {
        AppDelegate delegate(platform, "/nowhere");
        platform.app.setDelegate(&delegate);
        platform.app.finishLaunching();
        platform.app.setDelegate(nullptr);
        EXPECT_EQ(platform.files.text(path),
            AutostartEntry::text("ai.orvi.orvi-desktop", "/opt/orvi/bin/orvi-desktop"));
        EXPECT_EQ(platform.files.modes[path], 0644u);
        platform.files.putFile(path, "[Desktop Entry]\nExec=/somewhere/else\n");
    }
}

TEST(AutostartEntry, QuotesTheExecutableAsDesktopEntriesRequire)
{
    struct Case {
        const char* path;
        const char* exec;
    };
    for (auto [path, exec] : { Case { "/usr/bin/orvi-desktop", R"(Exec="/usr/bin/orvi-desktop")" },
             Case { "/opt/Orvi Desktop/orvi", R"(Exec="/opt/Orvi Desktop/orvi")" },
             Case { "/opt/100%/orvi", R"(Exec="/opt/100%%/orvi")" },
             Case { "/opt/$HOME/`x`/\"q\"/orvi", R"(Exec="/opt/\\$HOME/\\`x\\`/\\"q\\"/orvi")" },
             Case { "/opt/back\\slash/orvi", R"(Exec="/opt/back\\\\slash/orvi")" } }) {
        std::string text = AutostartEntry::text("ai.orvi.orvi-desktop", path);
        EXPECT_NE(text.find(std::string(exec) + "\n"), std::string::npos) << text;
    }
}

TEST(AutostartEntry, APathThatIsNotUTF8IsLeftAlone)
{
    FakeFileSystem files;
    files.createDirectories("/home/guest/.config", 0700);
    AutostartEntry::install(
        files, "/home/guest/.config", "ai.orvi.orvi-desktop", "/opt/\xFF/orvi-desktop");
    EXPECT_TRUE(files.files.empty());
}
