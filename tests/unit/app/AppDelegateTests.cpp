#include "app/AppDelegate.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

namespace {

const std::string autostart = "/home/guest/.config/autostart/ai.orvi.orvi-desktop.desktop";

// The program, running version 1.4.1.
struct AppTest : ::testing::Test {
    AppTest() { platform.setDelegate(&delegate); }

    FakePlatform platform;
    AppDelegate delegate { platform, "/nowhere" };
};

} // namespace

// What must come before what: the menu before the start-at-login entry, the
// activity, the page's globals, memory limit and readable folder before the
// web view, the handler taken over before the load, the window shown after
// it; and the quiet update check three seconds later.
TEST_F(AppTest, LaunchDoesEverythingInOrderAndChecksQuietlyThreeSecondsLater)
{
    AppDelegate(platform, "/nowhere")
        .applicationWillTerminate(); // a quit before launch ends nothing
    EXPECT_EQ(platform.calls, Journal { "stopping" });
    platform.put(autostart, "stale");
    auto memoryLimit = delegate.commandLine().options.at(0);
    EXPECT_EQ(std::pair(memoryLimit.take("12x"), memoryLimit.take("300")), std::pair(false, true));
    delegate.applicationDidFinishLaunching();
    auto at = [&](Text prefix) {
        return std::ranges::find_if(platform.calls, [&](Text c) { return c.starts_with(prefix); })
            - platform.calls.begin();
    };
    for (auto [first, then] : std::initializer_list<std::pair<const char*, const char*>> {
             { "menu", "write /home/guest/.config/autostart" },
             { "begin 10000ffffff [Keep the Orvi public assistant ready for voice requests]",
                 "make web view" },
             { "memoryLimit 300", "make web view" },
             { "readable /opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources", "make web view" },
             { "script 01 window.ORVI_MEMBER_ID = 'orvi-kiosk-", "make web view" },
             { "handler- orvi",
                 "load file:///opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/" },
             { "load ", "w0.key" }, { "w0.key", "after 3" } })
        EXPECT_TRUE(at(first) < at(then) && at(then) < std::ssize(platform.calls))
            << first << " before " << then;
    EXPECT_EQ(platform.configuration->handlers.at("orvi"), delegate.windowController());
    EXPECT_EQ(platform.logged.at(0),
        "1 Web content runs in a "
        "sandbox|ORVI_EVENT=sandbox|ORVI_SANDBOX=on|ORVI_MEMORY_LIMIT_MIB=300");

    EXPECT_EQ(platform.advance(3), 1);
    ASSERT_EQ(platform.requested.size(), 1u);
    platform.calls.clear();
    platform.respond(R"({"macOS":{"version":"1.4.1","downloadURL":"https://x/","notes":"N."}})");
    platform.advance();
    // The running version: the check is silent, and the window's close quits.
    EXPECT_FALSE(platform.windows[0]->delegate->windowShouldClose());
    EXPECT_EQ(platform.calls, (Journal { "terminate", "stopping", "end" }));
}

// The page's memory limit follows the machine's memory.
TEST(WebContent, TheMemoryLimitFollowsTheMachine)
{
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

// Every text the program shows is asked for in the user's language (its
// English is checked where it is shown); the bubble's come with its first
// collapse.
TEST_F(AppTest, EveryTextItShowsIsAskedForInTheUsersLanguage)
{
    auto line = delegate.commandLine();
    delegate.applicationDidFinishLaunching();
    auto& controller = *delegate.windowController();
    controller.minimizeToBubble();
    auto& menu = platform.menu.items.at(0).submenu;
    auto& names = platform.windows.at(0)->names;
    std::vector<std::string> shown { menu.at(0).title, menu.at(1).title, menu.at(3).title,
        names.close, names.minimize, names.menu, platform.buttons.at(0)->title,
        platform.buttons.at(0)->toolTip, line.summary, line.versionHelp, line.description,
        line.refusedValue, line.tryHelp };
    for (auto& option : line.options)
        shown.push_back(option.help);
    for (int type = 0; type <= int(MediaCaptureType::other); ++type) {
        auto prompt = controller.mediaCapturePrompt(MediaCaptureType(type));
        shown.insert(shown.end(), { prompt.question, prompt.allow, prompt.deny });
    }
    for (Text text : shown)
        EXPECT_TRUE(text.size() > 2 && text.front() == '[' && text.back() == ']') << text;
    EXPECT_EQ(shown.at(6), "[For Help\nClick Orvi]");
}
