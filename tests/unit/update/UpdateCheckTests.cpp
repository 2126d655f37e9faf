#include "support/FakePlatform.h"
#include "update/UpdateCheck.h"

#include <gtest/gtest.h>
#include <numeric>
#include <thread>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

namespace {

// The program runs version 1.4.1; the notice of a version is saved before its
// alert comes up, so quitting while it is up keeps it.
const std::string upToDate = "alert [Orvi Desktop is up to date]|[You have version 1.4.1.]|[OK]",
                  saved = "mkdir /home/guest/.config/orvi 700"
                          "write /home/guest/.config/orvi/defaults.json 600";

std::string ready(Text version)
{
    return "alert [Orvi Desktop " + version + " is ready]|N.|[Download Update]|[Later]";
}

std::string manifest(Text version, Text url = "https://x/")
{
    return R"({"macOS":{"version":")" + version + R"(","downloadURL":")" + url
        + R"(","notes":"N."}})";
}

} // namespace

// In order: silent once per version; asked for, always; equal or older; no
// manifest; downloads; no version of its own.
TEST(UpdateCheck, SpeaksOnlyWhenItShould)
{
    FakePlatform platform;
    auto check = [&](bool silent, std::optional<std::string> body) {
        platform.calls.clear();
        UpdateCheck::start(platform, "https://updates.test/", silent);
        platform.respond(body), platform.advance();
        return std::accumulate(platform.calls.begin(), platform.calls.end(), std::string());
    };
    const long later = AlertResponse::secondButton, download = AlertResponse::firstButton;
    for (auto [silent, body, answer, seen] :
        std::initializer_list<std::tuple<bool, std::optional<std::string>, long, std::string>> {
            { true, manifest("1.4.2"), later, saved + ready("1.4.2") },
            { true, manifest("1.4.2"), later, "" },
            { false, manifest("1.4.2"), later, saved + ready("1.4.2") },
            { false, manifest("1.5"), download, saved + ready("1.5") + "open https://x/" },
            { true, manifest("1.5"), later, "" }, { false, manifest("1.4.1"), later, upToDate },
            { false, manifest("1.3.9"), later, upToDate }, { false, {}, download, "" },
            { false, "<html>404</html>", download, "" },
            { false, manifest("2", "http://o/"), download, saved + ready("2") + "open http://o/" },
            { false, manifest("4", "file:///bin/sh"), download, saved + ready("4") },
            { false, manifest("5", "not a url"), download, saved + ready("5") } }) {
        platform.answer = answer;
        EXPECT_EQ(check(silent, body), seen) << silent << " " << body.value_or("(nothing)");
    }
    EXPECT_TRUE(platform.reloaded()->boolForKey("OrviDesktopUpdateNotice.1.4.2"));
    platform.version.reset();
    EXPECT_EQ(check(false, manifest("0")),
        "alert [Orvi Desktop is up to date]|[You have version 0.]|[OK]");
}

TEST(UpdateCheck, ChecksAnswerOnTheMainQueueAndNeverWaitForEachOther)
{
    FakePlatform platform;
    UpdateCheck::start(platform, "https://bad host/", false);
    UpdateCheck::start(platform, "https://updates.test/", true);
    UpdateCheck::start(platform, "https://updates.test/", false);
    EXPECT_EQ(platform.requested, std::vector(2, "https://updates.test/ 1048576"s));
    std::thread([&] {
        platform.respond(manifest("2.0")), platform.respond(manifest("2.0"));
    }).join();
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(platform.advance(), 2);
    EXPECT_EQ(platform.count(ready("2.0")), 2);
}
