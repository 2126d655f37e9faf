#include "platform/FileUserDefaults.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orvi;
using namespace orvi::fake;

namespace {

const std::string folder = "/home/guest/.config/orvi";
const std::string path = folder + "/defaults.json";

// Same value and same kind: the text form tells 2 from 2.0 and data from a
// list of numbers.
void expectSameValue(const std::optional<DefaultsValue>& actual, const DefaultsValue& expected)
{
    ASSERT_TRUE(actual);
    EXPECT_EQ(actual->dump(), expected.dump());
}

} // namespace

TEST(FileUserDefaults, EveryKindOfValueSurvivesARelaunch)
{
    const std::pair<std::string, DefaultsValue> values[] = {
        { "text", "Orvi \xE2\x80\xA8 \"kiosk\"\n" },
        { "empty text", "" },
        { "integer", -42 },
        { "large integer", std::numeric_limits<int64_t>::max() },
        { "real", 1.5 },
        { "integral real", 2.0 },
        { "boolean", false },
        { "list", DefaultsValue::array({ 1, "two", 3.0, true }) },
        { "empty list", DefaultsValue::array() },
        { "dictionary",
            { { "frame", { 10.0, 20.0, 300.0, 200.0 } },
                { "blob", DefaultsValue::binary({ 0, 255 }) } } },
        { "empty dictionary", DefaultsValue::object() },
        { "data", DefaultsValue::binary({ 0x00, 0xFF, 0x10, 0x80 }) },
        { "empty data", DefaultsValue::binary({}) },
    };
    FakePlatform platform;
    for (const auto& [key, value] : values)
        platform.userDefaults().setObject(value, key);

    auto relaunched = platform.reloadedDefaults();
    for (const auto& [key, value] : values) {
        SCOPED_TRACE(key);
        expectSameValue(platform.userDefaults().objectForKey(key), value);
        expectSameValue(relaunched->objectForKey(key), value);
    }
    EXPECT_EQ(relaunched->objectForKey("never set"), std::nullopt);
}

TEST(FileUserDefaults, EveryChangeRewritesThePrivateFile)
{
    FakeFileSystem disk;
    FileUserDefaults defaults(disk, path);
    EXPECT_EQ(disk.writeCount, 0);
    EXPECT_FALSE(disk.directoryExists(folder));

    defaults.setObject("a", "first");
    EXPECT_EQ(disk.modes.at(folder), 0700u);
    EXPECT_EQ(disk.modes.at(path), 0600u);
    EXPECT_EQ(disk.writeCount, 1);

    defaults.setObject(2, "second");
    defaults.setObject(nullptr, "first");
    EXPECT_EQ(disk.writeCount, 3);
    EXPECT_EQ(defaults.objectForKey("first"), std::nullopt);

    FileUserDefaults relaunched(disk, path);
    EXPECT_EQ(relaunched.objectForKey("first"), std::nullopt);
    expectSameValue(relaunched.objectForKey("second"), 2);
}

TEST(FileUserDefaults, ValuesTheFileCannotHoldAreNotKept)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const DefaultsValue refused[] = { nan, infinity, -infinity, DefaultsValue::array({ 1, nan }),
        DefaultsValue { { "deep", { { "deeper", infinity } } } } };

    FakePlatform platform;
    auto& defaults = platform.userDefaults();
    defaults.setObject(1.5, "kept");
    for (const auto& value : refused) {
        defaults.setObject(value, "refused");
        defaults.setObject(value, "kept");
    }
    EXPECT_EQ(defaults.objectForKey("refused"), std::nullopt);
    expectSameValue(defaults.objectForKey("kept"), 1.5);
    EXPECT_EQ(platform.reloadedDefaults()->objectForKey("refused"), std::nullopt);
    expectSameValue(platform.reloadedDefaults()->objectForKey("kept"), 1.5);
}

TEST(FileUserDefaults, AnUnreadableFileIsSetAsideIntactAndTheStoreStartsEmpty)
{
    struct Case {
        const char* name;
        std::string content;
        bool readFails = false;
    };
    const Case cases[] = {
        { "read fails", R"({"format": 1, "values": {"a": {"integer": 1}}})", true },
        { "garbage", "\x89PNG not json" },
        { "empty file", "" },
        { "top-level array", R"([{"format": 1, "values": {}}])" },
        { "newer format", R"({"format": 2, "values": {"a": {"integer": 1}}})" },
        { "no values", R"({"format": 1})" },
        { "unknown tag", R"({"format": 1, "values": {"a": {"date": "2024-01-01"}}})" },
        { "untagged value", R"({"format": 1, "values": {"a": 1}})" },
        { "wrong content for its tag", R"({"format": 1, "values": {"a": {"integer": "1"}}})" },
        { "bad data", R"({"format": 1, "values": {"a": {"data": "Zm9v!"}}})" },
        { "bad data deep in a list",
            R"({"format": 1, "values": {"a": {"list": [{"data": "Z==="}]}}})" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem disk;
        disk.putFile(path, c.content);
        if (c.readFails)
            disk.unreadable.insert(path);

        FileUserDefaults defaults(disk, path);
        EXPECT_EQ(defaults.objectForKey("a"), std::nullopt);
        EXPECT_FALSE(disk.fileExists(path));
        EXPECT_EQ(disk.text(path + ".unreadable"), c.content);

        defaults.setObject("fresh", "b");
        EXPECT_EQ(disk.text(path + ".unreadable"), c.content);
        expectSameValue(FileUserDefaults(disk, path).objectForKey("b"), "fresh");
    }
}

TEST(FileUserDefaults, SettingAsideNeverReusesATakenName)
{
    FakeFileSystem disk;
    disk.putFile(path + ".unreadable", "first");
    disk.putFile(path + ".unreadable-2", "second");
    disk.putFile(path, "third");

    FileUserDefaults defaults(disk, path);
    EXPECT_EQ(disk.text(path + ".unreadable"), "first");
    EXPECT_EQ(disk.text(path + ".unreadable-2"), "second");
    EXPECT_EQ(disk.text(path + ".unreadable-3"), "third");
    EXPECT_FALSE(disk.fileExists(path));
}

TEST(FileUserDefaults, AFileThatCannotBeSetAsideIsNeverWrittenOver)
{
    FakeFileSystem disk;
    disk.putFile(path, "not json");
    disk.failMoves = true;

    FileUserDefaults defaults(disk, path);
    defaults.setObject("kept in memory", "a");
    defaults.setObject(nullptr, "b");

    expectSameValue(defaults.objectForKey("a"), "kept in memory");
    EXPECT_EQ(disk.text(path), "not json");
    EXPECT_EQ(disk.writeCount, 0);
}

TEST(FileUserDefaults, AFailedWriteKeepsTheValueForThisRun)
{
    FakeFileSystem disk;
    FileUserDefaults defaults(disk, path);
    disk.failWrites = true;
    defaults.setObject(7, "a");
    expectSameValue(defaults.objectForKey("a"), 7);
    EXPECT_EQ(FileUserDefaults(disk, path).objectForKey("a"), std::nullopt);

    // The next change that reaches the disk takes everything with it.
    disk.failWrites = false;
    defaults.setObject(8, "b");
    FileUserDefaults relaunched(disk, path);
    expectSameValue(relaunched.objectForKey("a"), 7);
    expectSameValue(relaunched.objectForKey("b"), 8);
}
