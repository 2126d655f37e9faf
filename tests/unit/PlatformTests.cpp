#include "base/URL.h"
#include "platform/gtk/Coordinates.h"
#include "platform/gtk/FrameSettling.h"
#include "support/FakePlatform.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

namespace {

const std::string path = "/home/guest/.config/orvi/defaults.json";

// The text form tells 2 from 2.0 and data from a list of numbers.
std::string stored(const UserDefaults& defaults, Text key)
{
    auto value = defaults.objectForKey(key);
    return value ? value->dump() : "-";
}

} // namespace

TEST(FileUserDefaults, EveryKindOfValueSurvivesARelaunchAndEveryChangeRewritesThePrivateFile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 infinity = std::numeric_limits<double>::infinity();
    const DefaultsValue values[]
        = { "Orvi \u2028 \"kiosk\"\n", "", -42, std::numeric_limits<int64_t>::max(), 1.5, 2.0,
              false, DefaultsValue::array({ 1, "two", 3.0, true }), DefaultsValue::array(),
              { { "frame", { 10.0, 20.0 } }, { "blob", DefaultsValue::binary({ 0, 255 }) } },
              DefaultsValue::object(), DefaultsValue::binary({ 0, 0xFF, 0x80 }),
              DefaultsValue::binary({}) };
    FakePlatform disk;
    FileUserDefaults defaults(disk, path);
    for (const auto& value : values)
        defaults.setObject(value, value.dump());
    defaults.setObject(1, "gone"), defaults.setObject(nullptr, "gone");
    // A value the file cannot hold is kept neither in memory nor on the disk.
    for (const DefaultsValue& refused : { DefaultsValue(nan), DefaultsValue(infinity),
             DefaultsValue(-infinity), DefaultsValue::array({ 1, nan }),
             DefaultsValue { { "deep", { { "deeper", infinity } } } }, DefaultsValue("\xFF"),
             DefaultsValue { { "\xFF", 1 } } })
        defaults.setObject(refused, "refused"), defaults.setObject(refused, "1.5");
    defaults.setObject(1, "\xFF"), defaults.setObject(3, "later");
    EXPECT_EQ(disk.count("mkdir /home/guest/.config/orvi 700"), 16);
    EXPECT_EQ(disk.count("write " + path + " 600"), 16);
    FileUserDefaults relaunched(disk, path);
    for (const auto& value : values)
        EXPECT_EQ(stored(relaunched, value.dump()), value.dump());
    EXPECT_EQ(
        stored(relaunched, "gone") + stored(relaunched, "refused") + stored(defaults, "refused"),
        "---");
    EXPECT_EQ(stored(defaults, "1.5") + stored(relaunched, "later"), "1.53");
}

TEST(FileUserDefaults, AnUnreadableFileIsSetAsideIntactAndTheStoreStartsAfresh)
{
    auto file = [](Text value) { return R"({"format": 1, "values": {"a": )" + value + "}}"; };
    for (std::string content : { "read fails"s, "\x89PNG"s, ""s,
             "[" + file("{\"integer\": 1}") + "]", R"({"format": 2, "values": {}})"s,
             R"({"format": 1})"s, file(R"({"date": "2024-01-01"})"), file("1"),
             file(R"({"integer": "1"})"), file(R"({"data": "Zm9v!"})"),
             file(R"({"list": [{"data": "Z==="}]})"), file(R"({"data": "Zg"})"),
             file(R"({"data": "Zm9v\n\n\n\n"})"), file(R"({"data": "Zm_v"})") }) {
        FakePlatform disk;
        disk.put(path, content);
        if (content == "read fails")
            disk.unreadable.insert(path);
        FileUserDefaults defaults(disk, path);
        defaults.setObject("fresh", "b");
        EXPECT_EQ(stored(defaults, "a") + disk.text(path + ".unreadable"), "-" + content);
        EXPECT_EQ(stored(FileUserDefaults(disk, path), "b"), "\"fresh\"") << content;
    }
}

TEST(FileUserDefaults, NothingIsWrittenOverAndAFailedWriteIsMadeUpForByTheNext)
{
    FakePlatform disk;
    for (std::string name : { ".unreadable", ".unreadable-2", "" })
        disk.put(path + name, "taken" + name);
    FileUserDefaults setAside(disk, path);
    EXPECT_EQ(disk.text(path + ".unreadable") + disk.text(path + ".unreadable-2")
            + disk.text(path + ".unreadable-3"),
        "taken.unreadabletaken.unreadable-2taken");

    disk.put(path, "not json"), disk.failMoves = true;
    FileUserDefaults stuck(disk, path);
    stuck.setObject("in memory", "a");
    EXPECT_EQ(stored(stuck, "a") + disk.text(path), "\"in memory\"not json");

    disk.failMoves = false, disk.files.clear();
    FileUserDefaults defaults(disk, path);
    disk.failWrites = true;
    defaults.setObject(7, "a");
    EXPECT_EQ(stored(defaults, "a") + stored(FileUserDefaults(disk, path), "a"), "7-");
    disk.failWrites = false;
    defaults.setObject(8, "b");
    EXPECT_EQ(stored(FileUserDefaults(disk, path), "a"), "7");
}

TEST(UserDefaultsConversion, ValuesReadAsTextAndAsYesOrNo)
{
    const std::tuple<DefaultsValue, std::optional<std::string>, bool> cases[]
        = { { "guest", "guest", false }, { "", "", false }, { 42, "42", true }, { 0, "0", false },
              { 0.5, "0.5", true }, { 2.0, "2", true }, { 0.0, "0", false }, { true, "1", true },
              { false, "0", false }, { DefaultsValue::array({ "1" }), {}, false },
              { DefaultsValue::binary({ '1' }), {}, false },
              // After blanks, one sign and leading zeros: yes on Y, y, T, t or 1 to 9.
              { "YES", "YES", true }, { "true", "true", true }, { " +01", " +01", true },
              { "-0", "-0", false }, { "0.5", "0.5", false }, { "++1", "++1", false } };
    FakePlatform platform;
    auto& defaults = platform.userDefaults();
    for (const auto& [value, text, yes] : cases) {
        defaults.setObject(value, "key");
        EXPECT_EQ(std::pair(defaults.stringForKey("key"), defaults.boolForKey("key")),
            std::pair(text, yes))
            << value.dump();
    }
    EXPECT_EQ(std::pair(defaults.stringForKey("-"), defaults.boolForKey("-")),
        std::pair(std::optional<std::string>(), false));
}

TEST(URL, ParsesKeepingTheSchemeAsWrittenAndOnlyHttpAndHttpsAreWeb)
{
    // The scheme, " web" for a web URL, or "!" for text that is no URL.
    for (auto [text, expected] :
        { std::pair { "https://orvi.ai/k?l=en#top", "https web" }, { "http://o", "http web" },
            { "HTTPS://x", "HTTPS" }, { "javascript:alert(1)", "javascript" },
            { "//orvi.ai/p", "" }, { " https://o", "!" }, { "https://o/%zz", "!" } }) {
        auto url = parseURL(text);
        EXPECT_EQ(url ? url->scheme + (isWebURL(*url) ? " web" : "") : "!", expected) << text;
        EXPECT_EQ(url ? url->text : text, text);
    }
    EXPECT_FALSE(parseURL("https://o/\0.evil"s));
    for (auto [folder, url] : { std::pair { "/opt/o", "file:///opt/o/" },
             { "/opt/o/", "file:///opt/o/" }, { "/", "file:///" }, { "/a#b?", "file:///a%23b%3F/" },
             { "/caf\u00E9", "file:///caf%C3%A9/" } })
        EXPECT_EQ(fileURLForDirectory(folder), url);
}

// Every row holds both ways: points to pixels and back again.
TEST(Coordinates, PointsAndPixelsMeetAtTheBottomLeftOfThePrimaryMonitor)
{
    using gtk::PixelRect;
    for (auto [primary, points, pixels] :
        { std::tuple { PixelRect { 0, 0, 1280, 800 }, Rect { 100, 50, 900, 620 },
              PixelRect { 100, 130, 900, 620 } },
            { { 1920, 0, 1280, 1080 }, { -1920, 0, 1920, 1080 }, { 0, 0, 1920, 1080 } },
            { { 2560, 360, 1920, 1080 }, { 200, 100, 800, 600 }, { 2760, 740, 800, 600 } } }) {
        EXPECT_EQ(gtk::pixelsFromPoints(points, primary), pixels);
        EXPECT_EQ(gtk::pointsFromPixels(pixels, primary), points);
    }
    EXPECT_EQ(gtk::pixelsFromPoints({ 99.6, 50.4, 900.2, 619.8 }, { 0, 0, 1280, 800 }),
        (PixelRect { 100, 130, 900, 620 }));
}

// Every report is held against the newest request; once the window manager
// has gone quiet, a window still elsewhere is asked again, three times, and
// then the window manager has the last word.
TEST(FrameSettling, TheNewestRequestWins)
{
    using gtk::FrameSettling, gtk::PixelRect;
    const PixelRect small { 0, 798, 2, 2 }, big { 0, 28, 1280, 772 }, between { 0, 28, 2, 2 };
    FrameSettling frames;
    std::vector<std::string> steps;
    auto report = [&](const PixelRect& frame) {
        steps.push_back(std::array { "reached", "settling", "moved" }[int(frames.reported(frame))]);
    };
    auto quiet = [&] {
        steps.push_back(std::array { "-", "again", "give up" }[int(frames.quiet())]);
    };
    report(big);
    frames.request(small), frames.request(big);
    quiet(), report(small);
    for (int retry = 0; retry < 4; ++retry)
        report(between), quiet(), quiet();
    report(big);
    frames.request(small);
    report(small), quiet();
    EXPECT_EQ(steps,
        (std::vector<std::string> { "moved", "-", "settling", "settling", "again", "-", "settling",
            "again", "-", "settling", "again", "-", "settling", "give up", "-", "moved", "reached",
            "-" }));
}
