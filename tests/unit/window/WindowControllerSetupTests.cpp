#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"
#include "window/PageContract.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

size_t indexOf(const Journal& journal, const std::string& entry, size_t from = 0)
{
    auto found = std::find(journal.begin() + long(from), journal.end(), entry);
    EXPECT_NE(found, journal.end()) << entry << " never happened";
    return size_t(found - journal.begin());
}

const std::string bundle = "/build/OrviDesktop_OrviDesktop.bundle";

// A page in the built bundle, so that nothing is missing.
void putPage(FakePlatform& platform)
{
    platform.files.putFile(
        "/build/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
}

} // namespace

// The page's globals and its message name must be in place before the web
// view exists; the controller takes the name over only once it is whole.
TEST(WindowControllerSetup, TheMemberScriptAndMessageNameComeFirstAndTheControllerTakesTheNameLast)
{
    FakePlatform platform;
    putPage(platform);
    OrviWindowController controller(platform, bundle);
    auto& content = platform.configurations.at(0)->contentController;

    ASSERT_EQ(content.scripts.size(), 1u);
    std::string id = OrviWindowController::memberID(*platform.reloadedDefaults());
    EXPECT_EQ(content.scripts[0].source, PageContract::memberScript(id));
    EXPECT_EQ(content.scripts[0].time, UserScriptInjectionTime::atDocumentStart);
    EXPECT_TRUE(content.scripts[0].mainFrameOnly);

    const auto& journal = platform.journal;
    size_t script = indexOf(journal, "content.addUserScript");
    size_t placeholder = indexOf(journal, "content.addScriptMessageHandler:orvi");
    size_t webView = indexOf(journal, "platform.makeWebView");
    size_t released = indexOf(journal, "content.removeScriptMessageHandler:orvi");
    size_t taken = indexOf(journal, "content.addScriptMessageHandler:orvi", placeholder + 1);
    size_t load = indexOf(journal, "webView.loadHTMLString");
    EXPECT_LT(script, webView);
    EXPECT_LT(placeholder, webView);
    EXPECT_LT(webView, released);
    EXPECT_LT(released, taken);
    EXPECT_LT(taken, load);
    EXPECT_EQ(platform.journalEntries("content.addScriptMessageHandler").size(), 2u);

    ASSERT_EQ(content.handlers.count("orvi"), 1u);
    EXPECT_EQ(content.handlers.at("orvi"), static_cast<ScriptMessageHandler*>(&controller));
    EXPECT_TRUE(content.post("orvi", JsonValue { { "type", "ping" } }));
}

TEST(WindowControllerSetup, TheWindowStartsOnTheVisibleFrameOrCentredWithoutAScreen)
{
    struct Case {
        std::optional<Rect> visibleFrame;
        Rect frame;
        bool centred;
    };
    const Case cases[] = {
        { Rect { 0, 0, 1280, 772 }, Rect { 0, 0, 1280, 772 }, false },
        { Rect { -1920, 40, 1920, 1040 }, Rect { -1920, 40, 1920, 1040 }, false },
        { std::nullopt, Rect { 0, 0, 1180, 780 }, true },
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        putPage(platform);
        platform.screenService.visibleFrame = c.visibleFrame;
        OrviWindowController controller(platform, bundle);
        auto& window = *platform.windows.at(0);
        EXPECT_EQ(window.currentFrame, c.frame) << c.centred;
        EXPECT_EQ(window.centered, c.centred);
    }
}
