#include "app/AppDelegate.h"

#include <gtest/gtest.h>

using orvi::AppDelegate;

namespace {

struct Row {
    std::string candidate;
    std::string against;
    bool newer;
};

class VersionComparisonTest : public ::testing::TestWithParam<Row> { };

} // namespace

TEST_P(VersionComparisonTest, ComparesPieceByPiece)
{
    const Row& row = GetParam();
    EXPECT_EQ(AppDelegate::isVersion(row.candidate, row.against), row.newer)
        << '"' << row.candidate << "\" against \"" << row.against << '"';
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, VersionComparisonTest,
    ::testing::Values(Row { "1.10", "1.9", true }, Row { "1.9", "1.10", false },
        Row { "1.0", "1", false }, Row { "1", "1.0", false }, Row { "1.0.1", "1", true },
        Row { "2", "1.9.9", true }, Row { "1.2", "1.2", false }, Row { "1.2.3.1", "1.2.3", true },
        Row { "V2.0", "1.0", false }, Row { "1.0", "V2.0", true }, Row { "1.3-beta", "1.2", false },
        Row { "1..2", "1.2", false }, Row { ".1", "0.1", true }, Row { "1.01", "1.1", false },
        Row { "0.0.1", "", true }, Row { "", "0", false }, Row { "1", "1.-1", true },
        Row { "9223372036854775807", "1", true }, Row { "9223372036854775808", "1", false },
        Row { "1.2 ", "1.1", false }));

INSTANTIATE_TEST_SUITE_P(Pieces, VersionComparisonTest,
    ::testing::Values(
        // Signs, lone signs and leading zeros.
        Row { "+2", "1", true }, Row { "-1", "0", false }, Row { "0", "-1", true },
        Row { "+", "-1", true }, Row { "-", "1", false }, Row { "007", "6", true },
        Row { "+-1", "-2", true }, Row { "1.+0", "1", false },
        // The extremes of 64 bits and just past them.
        Row { "-9223372036854775808", "-9223372036854775807", false },
        Row { "-9223372036854775807", "-9223372036854775808", true },
        Row { "-9223372036854775809", "-1", true }, Row { "99999999999999999999", "1", false },
        // Digits outside ASCII count as 0: fullwidth 7 and Arabic-Indic 7.
        Row { "\xEF\xBC\x97", "1", false }, Row { "\xD9\xA7", "0.1", false },
        // Only the first difference counts.
        Row { "2.0", "1.99", true }, Row { "1.2.0.0.0", "1.2", false }, Row { "...", "", false }));

// A full stop followed by a combining mark is one character with it and does
// not split; an ordinary full stop next to other characters still does.
INSTANTIATE_TEST_SUITE_P(WholeCharacters, VersionComparisonTest,
    ::testing::Values(Row { "1.\xCC\x81"
                            "2",
                          "1.2", false }, // ".\u0301" joins: one piece, "1.\u03012" → 0
        Row { "2.\xCC\x81"
              "0",
            "1", false },
        Row { "1.2",
            "1.\xCC\x81"
            "2",
            true },
        Row { "1\xCC\x81.4", "0.3",
            true }, // the mark joins the 1, not the full stop: "1\u0301" → 0, then 4
        Row { "3.\xE2\x80\x8D"
              "1",
            "3", false }, // a zero-width joiner after the full stop joins it
        Row { "1.5", "1.\xF0\x9F\x98\x80", true }));

TEST(VersionComparison, AnyBytesGiveAnAnswer)
{
    const std::string samples[] = { std::string("1.\xFF.2", 5), std::string("\xC3", 1),
        std::string("1.\xE2\x80", 4), std::string("\x00.1", 3),
        std::string("\xF4\x90\x80\x80.1", 6), std::string("\xED\xA0\x80.9", 6) };
    for (const auto& a : samples) {
        for (const auto& b : samples) {
            bool forward = AppDelegate::isVersion(a, b);
            bool backward = AppDelegate::isVersion(b, a);
            EXPECT_FALSE(forward && backward);
        }
        EXPECT_FALSE(AppDelegate::isVersion(a, a));
    }
    // Invalid bytes count as their own characters; the full stops around them
    // still split.
    EXPECT_TRUE(AppDelegate::isVersion(std::string("1.\xFF.2", 5), "1.0.1"));
}
