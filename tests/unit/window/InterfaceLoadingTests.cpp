#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;

namespace {

const std::string besideExecutable = "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle";
const std::string builtBundle = "/build/OrviDesktop_OrviDesktop.bundle";
const std::string resources = "/opt/orvi/share/orvi-desktop";
const std::string fallback = "<h1>Orvi interface is unavailable.</h1>";
const std::string missingBundleMessage
    = "could not load resource bundle: from " + besideExecutable + " or " + builtBundle + "\n";

struct Loaded {
    FakeWebView::Load load;
    std::string errors;
};

// Makes a controller over what is on the disk and returns its one load.
Loaded loadInterface(FakePlatform& platform)
{
    testing::internal::CaptureStderr();
    std::optional<FakeWebView::Load> load;
    {
        OrviWindowController controller(platform, builtBundle);
        auto& loads = platform.webViews.at(0)->loads;
        EXPECT_EQ(loads.size(), 1u);
        if (!loads.empty())
            load = loads[0];
    }
    std::string errors = testing::internal::GetCapturedStderr();
    return { load.value_or(FakeWebView::Load { "(nothing loaded)", std::nullopt }), errors };
}

} // namespace

TEST(InterfaceLoading, TheFaceImageFillsEveryPlaceholder)
{
    using namespace std::string_literals;
    const std::string page
        = "<img src=\"ORVI_DEFAULT_FACE_DATA\">ORVI_DEFAULT_FACE_DATAORVI_DEFAULT_FACE_DATA "
          "orvi_default_face_data";
    const std::string filled = "<img src=\"data:image/webp;base64,UklGRgD/\">"
                               "data:image/webp;base64,UklGRgD/data:image/webp;base64,UklGRgD/ "
                               "orvi_default_face_data";
    const std::string emptied = "<img src=\"data:image/webp;base64,\">"
                                "data:image/webp;base64,data:image/webp;base64, "
                                "orvi_default_face_data";
    const std::string besideFace = besideExecutable + "/Resources/orvi-default.webp";
    struct Case {
        const char* name;
        std::string page;
        std::optional<std::string> face; // nothing: no face image anywhere
        std::string facePlace;
        bool faceUnreadable = false;
        std::string expected;
    };
    const Case cases[] = {
        { "face beside the page", page, "RIFF\0\xFF"s, besideFace, false, filled },
        { "face only in the resources folder", page, "RIFF\0\xFF"s,
            resources + "/orvi-default.webp", false, filled },
        { "page without placeholder", "<p>hello</p>", "RIFF", besideFace, false, "<p>hello</p>" },
        { "empty face", page, "", besideFace, false, emptied },
        { "no face", page, std::nullopt, besideFace, false, page },
        { "unreadable face", page, "RIFF", besideFace, true, page },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        platform.files.putFile(besideExecutable + "/Resources/index.html", c.page);
        if (c.face)
            platform.files.putFile(c.facePlace, *c.face);
        if (c.faceUnreadable)
            platform.files.unreadable.insert(c.facePlace);

        auto loaded = loadInterface(platform);
        EXPECT_EQ(loaded.load.html, c.expected);
        EXPECT_EQ(loaded.load.baseURL, "file://" + besideExecutable + "/Resources/");
        EXPECT_EQ(loaded.errors, "");
    }
}

TEST(InterfaceLoading, ThePageIsTakenFromTheFirstPlaceThatHasIt)
{
    const std::string besideResources = besideExecutable + "/Resources";
    const std::string builtResources = builtBundle + "/Resources";
    const std::string keptBundle = resources + "/OrviDesktop_OrviDesktop.bundle";
    struct Case {
        const char* name;
        std::vector<std::string> folders;
        std::string chosen;
    };
    const Case cases[] = {
        { "bundle beside the executable over the resources folder", { besideResources, resources },
            besideResources },
        { "bundle beside the executable over the built bundle", { besideResources, builtResources },
            besideResources },
        { "built bundle when none is beside the executable", { builtResources, resources },
            builtResources },
        { "kept bundle's Resources first", { resources, keptBundle, keptBundle + "/Resources" },
            keptBundle + "/Resources" },
        { "kept bundle's top level next", { resources, keptBundle }, keptBundle },
        { "resources folder last", { resources }, resources },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        for (const auto& folder : c.folders)
            platform.files.putFile(folder + "/index.html", "<p>" + folder + "</p>");

        auto loaded = loadInterface(platform);
        EXPECT_EQ(loaded.load.html, "<p>" + c.chosen + "</p>");
        EXPECT_EQ(loaded.load.baseURL, "file://" + c.chosen + "/");
    }
}

TEST(InterfaceLoading, APageThatCannotBeShownGivesWayToTheFallback)
{
    struct Case {
        const char* name;
        std::function<void(FakePlatform&)> arrange;
        bool bundleMissing;
    };
    const std::string page = besideExecutable + "/Resources/index.html";
    const Case cases[] = {
        { "no page anywhere, no bundle", [](FakePlatform&) {}, true },
        { "no page anywhere, no resources folder",
            [](FakePlatform& p) { p.bundle.resources = std::nullopt; }, true },
        { "bundle without the page",
            [](FakePlatform& p) {
                p.files.putFile(besideExecutable + "/Resources/other.html", "x");
            },
            false },
        { "page not UTF-8", [&](FakePlatform& p) { p.files.putFile(page, "caf\xE9"); }, false },
        { "page cut inside a character", [&](FakePlatform& p) { p.files.putFile(page, "caf\xC3"); },
            false },
        { "page unreadable",
            [&](FakePlatform& p) {
                p.files.putFile(page, "<p>hello</p>");
                p.files.unreadable.insert(page);
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        c.arrange(platform);
        auto loaded = loadInterface(platform);
        EXPECT_EQ(loaded.load.html, fallback);
        EXPECT_EQ(loaded.load.baseURL, std::nullopt);
        EXPECT_EQ(loaded.errors, c.bundleMissing ? missingBundleMessage : "");
    }
}

TEST(InterfaceLoading, AMissingBundleIsReportedOnceAndTheResourcesFolderStillServes)
{
    FakePlatform platform;
    platform.files.putFile(resources + "/index.html", "<img src=\"ORVI_DEFAULT_FACE_DATA\">");
    platform.files.putFile(resources + "/orvi-default.webp", "RIFF");

    auto loaded = loadInterface(platform);
    EXPECT_EQ(loaded.load.html, "<img src=\"data:image/webp;base64,UklGRg==\">");
    EXPECT_EQ(loaded.load.baseURL, "file://" + resources + "/");
    EXPECT_EQ(loaded.errors, missingBundleMessage);
}
