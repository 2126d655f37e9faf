#include "support/FakePlatform.h"

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
    for (const DefaultsValue& refused :
        { DefaultsValue(nan), DefaultsValue(infinity), DefaultsValue::array({ 1, nan }),
            DefaultsValue { { "deep", { { "deeper", infinity } } } }, DefaultsValue("\xFF"),
            DefaultsValue { { "\xFF", 1 } } })
        defaults.setObject(refused, "refused"), defaults.setObject(refused, "1.5");
    defaults.setObject(1, "\xFF"), defaults.setObject(3, "later");
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
    struct Row {
        std::string content;
        bool readFails = false;
    };
    for (const Row& row : std::initializer_list<Row> { { file(R"({"integer": 1})"), true },
             { "\x89PNG" }, { R"({"format": 2, "values": {}})" }, { R"({"format": 1})" },
             { file("1") }, { file(R"({"integer": "1"})") }, { file(R"({"data": "Zg"})") },
             { file(R"({"data": "Zm9v\n\n\n\n"})") },
             { file(R"({"list": [{"data": "Z==="}]})") } }) {
        FakePlatform disk;
        disk.put(path, row.content);
        if (row.readFails)
            disk.unreadable.insert(path);
        FileUserDefaults defaults(disk, path);
        defaults.setObject("fresh", "b");
        EXPECT_EQ(stored(defaults, "a") + disk.text(path + ".unreadable"), "-" + row.content);
        EXPECT_EQ(stored(FileUserDefaults(disk, path), "b"), "\"fresh\"") << row.content;
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
