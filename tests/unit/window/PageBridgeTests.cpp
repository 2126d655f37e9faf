#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

enum class Effect { none, collapse, wake, open };

struct Message {
    const char* name;
    JsonValue body;
    Effect effect;
};

class PageBridgeTest : public ::testing::TestWithParam<Message> {
protected:
    PageBridgeTest()
    {
        platform.files.putFile(
            "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
        controller = std::make_unique<OrviWindowController>(platform, "/nowhere");
        controller->showMainWindow(false);
        platform.windows.at(0)->userMoveTo(Rect { 10, 10, 900, 620 });
    }

    FakePlatform platform;
    std::unique_ptr<OrviWindowController> controller;
};

JsonValue open(JsonValue url)
{
    return JsonValue { { "type", "openExternal" }, { "url", std::move(url) } };
}

} // namespace

TEST_P(PageBridgeTest, ActsOnlyOnWellFormedMessages)
{
    auto& page = platform.configurations.at(0)->contentController;
    ASSERT_TRUE(page.post("orvi", GetParam().body));

    auto& window = *platform.windows.at(0);
    bool collapsed = window.currentFrame == Rect { 0, 0, 2, 2 };
    bool woke = window.currentFrame == *platform.screenService.visibleFrame;
    EXPECT_EQ(collapsed, GetParam().effect == Effect::collapse);
    EXPECT_EQ(woke, GetParam().effect == Effect::wake);
    EXPECT_EQ(!platform.workspaceService.opened.empty(), GetParam().effect == Effect::open);
    if (GetParam().effect == Effect::open) {
        EXPECT_EQ(platform.workspaceService.opened,
            std::vector<std::string> { GetParam().body["url"].get<std::string>() });
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, PageBridgeTest,
    ::testing::Values(Message { "Minimize", { { "type", "minimize" } }, Effect::collapse },
        Message { "Wake", { { "type", "wake" } }, Effect::wake },
        Message { "OpenHttps", open("https://example.org/help?q=1#top"), Effect::open },
        Message { "OpenHttp", open("http://example.org/"), Effect::open },
        Message { "ExtraMembersStillOpen",
            { { "type", "openExternal" }, { "url", "https://example.org/" }, { "target", "_blank" },
                { "n", 3 } },
            Effect::open },
        Message { "ExtraMembersStillCollapse",
            { { "type", "minimize" }, { "why", JsonValue::array({ 1, 2 }) } }, Effect::collapse },
        Message { "BareString", "minimize", Effect::none },
        Message { "Array", JsonValue::array({ "minimize" }), Effect::none },
        Message { "Null", nullptr, Effect::none }, Message { "Number", 42, Effect::none },
        Message { "NoType", { { "kind", "minimize" } }, Effect::none },
        Message { "NumericType", { { "type", 42 } }, Effect::none },
        Message { "ObjectType", { { "type", { { "name", "minimize" } } } }, Effect::none },
        Message { "LetterCase", { { "type", "Minimize" } }, Effect::none },
        Message { "TrailingSpace", { { "type", "wake " } }, Effect::none },
        Message { "EmbeddedNul", { { "type", std::string("minimize\0x", 10) } }, Effect::none },
        Message { "UnknownType", { { "type", "reload" } }, Effect::none },
        Message { "OpenWithoutURL", { { "type", "openExternal" } }, Effect::none },
        Message { "OpenNumericURL", open(7), Effect::none },
        Message { "OpenCapitalScheme", open("HTTPS://example.org/"), Effect::none },
        Message { "OpenMixedCaseScheme", open("Http://example.org/"), Effect::none },
        Message { "OpenFile", open("file:///etc/passwd"), Effect::none },
        Message { "OpenJavascript", open("javascript:alert(1)"), Effect::none },
        Message { "OpenSmb", open("smb://server/share"), Effect::none },
        Message { "OpenRelativePath", open("help/index.html"), Effect::none },
        Message { "OpenSchemeRelative", open("//example.org/"), Effect::none },
        Message { "OpenUnparsable", open("https://exa mple.org/"), Effect::none },
        Message { "OpenEmpty", open(""), Effect::none },
        Message { "OpenHttpsLookalike", open("https-evil://example.org/"), Effect::none }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageBridge, AHugeMessageIsHandledLikeAnyOther)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    std::string megabyte(1 << 20, 'a');
    auto& page = platform.configurations.at(0)->contentController;
    page.post("orvi", JsonValue { { "type", megabyte } });
    page.post("orvi", open("https://example.org/" + megabyte));
    EXPECT_EQ(platform.workspaceService.opened.size(), 1u);
    EXPECT_EQ(platform.windows.size(), 1u);
}

TEST(PageBridge, RepeatedMessagesRepeatTheirEffect)
{
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& page = platform.configurations.at(0)->contentController;
    auto& webView = *platform.webViews.at(0);
    page.post("orvi", { { "type", "wake" } });
    page.post("orvi", { { "type", "wake" } });
    EXPECT_EQ(std::count(webView.evaluated.begin(), webView.evaluated.end(),
                  "window.orviResume && window.orviResume()"),
        2);
    page.post("orvi", { { "type", "minimize" } });
    page.post("orvi", { { "type", "minimize" } });
    EXPECT_EQ(std::count(webView.evaluated.begin(), webView.evaluated.end(),
                  "window.orviPause && window.orviPause()"),
        2);
    EXPECT_EQ(platform.windows.size(), 2u);
}

TEST(CapturePermissions, OneDeviceIsGrantedAnythingElseIsAsked)
{
    struct Case {
        MediaCaptureType type;
        PermissionDecision decision;
    };
    FakePlatform platform;
    OrviWindowController controller(platform, "/nowhere");
    auto& webView = *platform.webViews.at(0);
    for (auto [type, decision] : { Case { MediaCaptureType::camera, PermissionDecision::grant },
             Case { MediaCaptureType::microphone, PermissionDecision::grant },
             Case { MediaCaptureType::cameraAndMicrophone, PermissionDecision::prompt },
             Case { MediaCaptureType::other, PermissionDecision::prompt } })
        EXPECT_EQ(webView.requestCapture(type), decision) << int(type);
}
