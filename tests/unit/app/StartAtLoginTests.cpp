#include "app/AppDelegate.h"
#include "app/AutostartEntry.h"
#include "app/LaunchAgent.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace std::string_literals;

TEST(StartAtLogin, TheLaunchAgentGoesIntoTheUserLibraryAndThePathIsQuoted)
{
    fake::FakePlatform platform;
    platform.library = "/Users/guest/Library";
    AppDelegate(platform, "/nowhere").applicationDidFinishLaunching();
    EXPECT_TRUE(
        platform.text("/Users/guest/Library/LaunchAgents/ai.orvi.orvi-desktop.plist")
            .ends_with(
                "<array><string>/opt/orvi/bin/Contents/MacOS/OrviDesktop</string></array>\n  "
                "<key>RunAtLoad</key><true/>\n  <key>KeepAlive</key><false/>\n</dict></plist>"));
    EXPECT_EQ(platform.text("/home/guest/.config/autostart/ai.orvi.orvi-desktop.desktop"), "-");

    EXPECT_NE(LaunchAgent::propertyList("i", "/R&D <1>")
                  .find("<string>/R&amp;D &lt;1&gt;/Contents/MacOS/OrviDesktop</string>"),
        std::string::npos);
    // The path is one quoted argument on the autostart entry's Exec line.
    for (auto [path, exec] : { std::pair { "/100%", R"("/100%%")" },
             { "/$x/`y`/\"z\"", R"("/\\$x/\\`y\\`/\\"z\\"")" }, { "/a\\b", R"("/a\\\\b")" } })
        EXPECT_NE(AutostartEntry::text("i", path).find("\nExec="s + exec + "\n"), std::string::npos)
            << path;
    platform.calls.clear(); // a path that is not UTF-8 cannot go into an entry
    AutostartEntry::install(platform, "/home/guest/.config", "ai.orvi.orvi-desktop", "/\xFF");
    EXPECT_TRUE(platform.calls.empty());
}
