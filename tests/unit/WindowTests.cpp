#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"
#include "window/PageContract.h"
#include "window/ReloadSchedule.h"
#include "window/ScreenPlacement.h"

#include <gtest/gtest.h>
#include <regex>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

// A stored text is the member ID as it is, whatever it holds; anything else
// (nothing, empty text, a list) gives a new one. Whatever the ID holds, the
// script's single-quoted literal reads back as it.
TEST(MemberScript, EscapesTheIDSoItsLiteralReadsBackExactly)
{
    for (auto [stored, kept] : { std::pair { DefaultsValue("   "), "   " }, { 42, "42" },
             { "", "" }, { DefaultsValue::array({ "x" }), "" }, { DefaultsValue(), "" } }) {
        FakePlatform platform;
        platform.userDefaults().setObject(stored, "OrviDesktopGuestMemberID");
        std::string id = OrviWindowController::memberID(platform.userDefaults());
        EXPECT_TRUE(*kept ? id == kept
                          : std::regex_match(id,
                              std::regex("orvi-kiosk-[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")))
            << id;
        EXPECT_EQ(OrviWindowController::memberID(*platform.reloaded()), id);
    }
    for (auto [id, literal] : { std::pair { "it's"s, R"(it\'s)"s }, { "'; x = '", R"(\'; x = \')" },
             { "back\\slash\\", R"(back\\slash\\)" },
             { "line\nbreak\rreturn", R"(line\nbreak\rreturn)" }, { "nul\0x00"s, R"(nul\x00x00)" },
             { "\u2028\u2029", R"(\u2028\u2029)" },
             { "caf\u00E9 \U0001F600 \u2027", "caf\u00E9 \U0001F600 \u2027" },
             { "cut \xE2\x80", "cut \xE2\x80" } })
        EXPECT_EQ(PageContract::memberScript(id),
            "window.ORVI_MEMBER_ID = '" + literal + "'; window.ORVI_KIOSK = true;");
}

// The page comes from the first place that has it, with the face image in
// every placeholder; what cannot be shown gives way to the fallback page.
TEST(InterfaceLoading, ThePageComesFromTheFirstPlaceThatHasItWithItsFace)
{
    const std::string beside = "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources",
                      built = "/build/OrviDesktop_OrviDesktop.bundle",
                      resources = "/opt/orvi/share/orvi-desktop",
                      kept = resources + "/OrviDesktop_OrviDesktop.bundle",
                      page = beside + "/index.html", face = beside + "/orvi-default.webp",
                      fallback = "- <h1>Orvi interface is unavailable.</h1>",
                      placeholders
        = "<img src=\"ORVI_DEFAULT_FACE_DATA\">ORVI_DEFAULT_FACE_DATAORVI_DEFAULT_FACE_DATA "
          "orvi_default_face_data";
    auto filled = [&](Text data) {
        std::string url = "data:image/webp;base64," + data;
        return "file://" + beside + "/ <img src=\"" + url + "\">" + url + url
            + " orvi_default_face_data";
    };
    const std::string noBundle
        = " + could not load resource bundle: from /opt/orvi/bin/OrviDesktop_OrviDesktop.bundle or "
        + built + "\n";
    // Files to put ("!" marks one that cannot be read), and what loads.
    for (auto [files, loads] :
        std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>> {
            { { { page, placeholders }, { face, "RIFF\0\xFF"s } }, filled("UklGRgD/") },
            { { { page, placeholders }, { resources + "/orvi-default.webp", "RIFF\0\xFF"s } },
                filled("UklGRgD/") },
            { { { page, placeholders } }, "file://" + beside + "/ " + placeholders },
            { { { page, placeholders }, { face, "RIFF" }, { "!", face } },
                "file://" + beside + "/ " + placeholders },
            { { { page, "A" }, { resources + "/index.html", "B" } }, "file://" + beside + "/ A" },
            { { { built + "/Resources/index.html", "A" }, { resources + "/index.html", "B" } },
                "file://" + built + "/Resources/ A" },
            { { { kept + "/Resources/index.html", "A" }, { kept + "/index.html", "B" },
                  { resources + "/index.html", "C" } },
                "file://" + kept + "/Resources/ A" + noBundle },
            { { { kept + "/index.html", "A" }, { resources + "/index.html", "B" } },
                "file://" + kept + "/ A" + noBundle },
            { { { resources + "/index.html", "A" } }, "file://" + resources + "/ A" + noBundle },
            { { { "no resources", "" } }, fallback + noBundle },
            { { { beside + "/x.html", "x" } }, fallback },
            { { { page, "<p>hi</p>" }, { "!", page } }, fallback } }) {
        FakePlatform platform(false);
        for (auto& [path, text] : files) {
            if (path == "!")
                platform.unreadable.insert(text);
            else if (path == "no resources")
                platform.resources.reset();
            else
                platform.put(path, text);
        }
        testing::internal::CaptureStderr();
        OrviWindowController controller(platform, built);
        std::string errors = testing::internal::GetCapturedStderr();
        auto load = std::find_if(platform.calls.rbegin(), platform.calls.rend(),
            [](Text call) { return call.starts_with("load "); });
        EXPECT_EQ(*load + (errors.empty() ? "" : " + " + errors), "load " + loads);
    }
}

// Any movement with the button held makes a drag; a release clicks only when
// nothing moved since the last press. The window system may send no release
// after a drag it took over.
TEST(DraggableButton, TellsClicksFromDrags)
{
    for (auto [steps, actions, drags] :
        { std::tuple { "pr", 1, 0 }, { "prpr", 2, 0 }, { "pdr", 0, 1 }, { "pdddr", 0, 3 },
            { "pdrr", 0, 1 }, { "pdpr", 1, 1 }, { "r", 1, 0 }, { "p", 0, 0 } }) {
        FakePlatform platform;
        auto panel = platform.makeWindow({}, 0);
        DraggableOrviBubbleButton button(platform.makeButton({}));
        button.placeIn(*panel);
        auto& mouse = *platform.buttons.at(0)->mouse;
        mouse.mouseDown({}), mouse.mouseUp({}); // without an action, nothing happens
        int clicks = 0;
        button.setAction([&](DraggableOrviBubbleButton& sender) { clicks += &sender == &button; });
        for (char step : std::string(steps))
            step == 'p'       ? mouse.mouseDown({})
                : step == 'd' ? mouse.mouseDragged({})
                              : mouse.mouseUp({});
        EXPECT_EQ(std::pair(clicks, platform.count("w0.drag")), std::pair(actions, long(drags)))
            << steps;
    }
}

// At once the first time; after 1, 2, 4 … at most 60 seconds while the page
// keeps dying within 30 seconds of a reload; at once again after it lived
// that long. It never gives up.
TEST(ReloadSchedule, BacksOffWhileThePageKeepsDying)
{
    ReloadSchedule schedule;
    double now = 0;
    std::vector<double> delays;
    for (double lived : { 5, 5, 5, 5, 5, 5, 5, 5, 5, 29, 31, 5 }) {
        delays.push_back(schedule.delayAfterEnd(now += lived));
        schedule.reloaded(now += delays.back());
    }
    EXPECT_EQ(delays, (std::vector<double> { 0, 1, 2, 4, 8, 16, 32, 60, 60, 60, 0, 1 }));
}

// A page that leaves the empty script asked every 5 seconds unrun, or that
// WebKit finds unresponsive, for 10 seconds has its process ended. Each end
// is logged with its reason, and the page comes back after its delay.
TEST(PageRecovery, AStuckPageIsEnded)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& page = *platform.webView;
    auto answered = [&](double seconds) {
        platform.advance(seconds);
        for (auto& ran : std::exchange(page.pending, {}))
            ran();
    };
    platform.calls.clear();
    answered(5), platform.advance(15); // answered at 5; unanswered from 10 to 20
    page.navigation->webViewWebContentProcessDidBecomeUnresponsive();
    answered(5), page.navigation->webViewWebContentProcessDidBecomeResponsive();
    answered(10), page.navigation->webViewWebContentProcessDidBecomeUnresponsive();
    answered(5), answered(5); // unresponsive from 35 to 45
    platform.advance(1);
    page.navigation->webViewWebContentProcessDidTerminate(
        WebContentTermination::exceededMemoryLimit);
    const std::string ask = "ask 0", wait = "after 5", end = "terminate page",
                      load = "load file:///opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/ "
                             "<p>page</p>";
    // Reloaded at once the first time, then after 1 s, 2 s: the page keeps dying soon after.
    EXPECT_EQ(platform.calls,
        (Journal { ask, wait, ask, wait, wait, end, wait, "after 0", load, ask, wait, ask, wait,
            wait, ask, wait, end, wait, "after 1", load, "after 2" }));
    EXPECT_EQ(platform.logged,
        (Journal { platform.logged[0],
            "1 The page's process ended (hang) after 20 s; reloading in 0 "
            "s|ORVI_EVENT=page-recovery|"
            "ORVI_REASON=hang|ORVI_PAGE_SECONDS=20|ORVI_RELOAD_DELAY_SECONDS=0",
            "1 The page's process ended (hang) after 25 s; reloading in 1 "
            "s|ORVI_EVENT=page-recovery|"
            "ORVI_REASON=hang|ORVI_PAGE_SECONDS=25|ORVI_RELOAD_DELAY_SECONDS=1",
            "1 The page's process ended (memory-limit) after 0 s; reloading in 2 s|"
            "ORVI_EVENT=page-recovery|ORVI_REASON=memory-limit|ORVI_PAGE_SECONDS=0|"
            "ORVI_RELOAD_DELAY_SECONDS=2" }));
}

// The expanded assistant keeps the frame the user gave it, moved before it is
// shrunk, and covers a visible frame that covered before or that is below its
// smallest size; the bubble comes back onto the screen that holds most of it,
// or goes home when it lies on none.
TEST(ScreenPlacement, FramesComeInsideTheNewVisibleFrames)
{
    struct Row {
        const char* what;
        bool bubble;
        std::optional<Rect> frame;
        std::vector<ScreenArea> screens;
        Rect placed;
    };
    const ScreenArea wide { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1052 } },
        small { { 0, 0, 1280, 800 }, { 0, 0, 1280, 772 } },
        tiny { { 0, 0, 64, 64 }, { 0, 0, 64, 36 } },
        right { { 1280, 0, 1280, 1024 }, { 1280, 0, 1280, 1024 } };
    const Rect own { 100, 60, 1000, 650 }, home { 1, 2, 112, 112 };
    for (const Row& row :
        std::vector<Row> { { "covering", false, std::nullopt, { small }, small.visibleFrame },
            { "own frame that fits", false, own, { wide }, own },
            { "moved in", false, Rect { 1500, 600, 1000, 650 }, { small },
                { 280, 122, 1000, 650 } },
            { "moved in from below", false, Rect { -300, -50, 1000, 650 }, { small },
                { 0, 0, 1000, 650 } },
            { "shrunk where it must", false, Rect { 100, 60, 1500, 650 }, { small },
                { 0, 60, 1280, 650 } },
            { "below the smallest size", false, own, { tiny }, tiny.visibleFrame },
            { "bubble inside", true, Rect { 1300, 500, 112, 112 }, { small, right },
                { 1300, 500, 112, 112 } },
            { "bubble mostly on the left", true, Rect { 1200, 700, 112, 112 }, { small, right },
                { 1168, 660, 112, 112 } },
            { "bubble mostly on the right", true, Rect { 1250, -50, 112, 112 }, { small, right },
                { 1280, 0, 112, 112 } },
            { "bubble where no screen is", true, Rect { 1784, 944, 112, 112 }, { small },
                home } }) {
        Rect placed = row.bubble
            ? bubbleFrameIn(*row.frame, row.screens, home)
            : expandedFrameIn(row.frame, row.screens[0].visibleFrame, { 900, 620 });
        EXPECT_EQ(placed, row.placed) << row.what;
    }
}

// What the user chose survives a screen too small for it; collapsed, the
// window stays in the corner and the frame it comes back to follows; while
// every monitor is off nothing moves.
TEST(FollowingTheScreens, TheAssistantIsAsBeforeOnceTheScreenIsBack)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& window = *platform.windows[0];
    auto changed = [&](std::optional<Rect> screen) {
        platform.screenFrame = screen;
        platform.screenDelegate->screenParametersDidChange();
    };
    const Rect screen = *platform.screenFrame, small { 0, 0, 800, 600 }, own { 100, 60, 1000, 650 };
    controller.showMainWindow(false);
    changed(small);
    changed(screen);
    EXPECT_EQ(window.rect, screen);
    window.rect = own;
    window.delegate->windowDidMove();
    changed(small);
    EXPECT_EQ(window.rect, small);
    window.hasKeyboard = true;
    controller.minimizeToBubble();
    EXPECT_EQ(platform.count("w1.key"), 1); // the bubble took the keyboard
    changed(Rect { 0, 0, 1050, 640 });
    EXPECT_EQ(std::pair(window.rect, controller.savedExpandedFrame()),
        std::pair(Rect { 0, 0, 2, 2 }, std::optional(Rect { 50, 0, 1000, 640 })));
    platform.calls.clear();
    changed(std::nullopt);
    EXPECT_EQ(platform.calls, Journal {});
    changed(screen);
    controller.showMainWindow(false);
    EXPECT_EQ(window.rect, own);
}

// A page showing its own dialog is waiting for its visitor, not stuck; once it
// runs again it has the usual time to answer.
TEST(PageRecovery, APageWaitingForItsVisitorIsLeftAlone)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& page = *platform.webView;
    auto& ui = static_cast<WebUIDelegate&>(controller);
    platform.advance(5);
    ui.webViewDidOpenPageDialog();
    platform.advance(60);
    EXPECT_EQ(platform.count("terminate page"), 0);
    ui.webViewDidClosePageDialog();
    platform.advance(5);
    EXPECT_EQ(platform.count("terminate page"), 0);
    platform.advance(5);
    EXPECT_EQ(std::pair(platform.count("terminate page"), page.pending.size()), std::pair(1L, 1ul));
}
