#include "app/AppDelegate.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(VersionComparison, ComparesPieceByPiece)
{
    struct Row {
        const char *version, *other;
        bool newer;
    };
    for (auto [version, other, newer] : { Row { "1.10", "1.9", true }, { "1.0", "1", false },
             { "1.0.1", "1", true }, { "2", "1.9.9", true }, { "V2.0", "1.0", false },
             { "1.3-beta", "1.2", false }, { ".1", "0.1", true }, { "0.0.1", "", true },
             { "1", "1.-1", true }, { "1.\xFF.2", "1.0.1", true },
             // Signs, leading zeros, the ends of 64 bits and a fullwidth 7.
             { "+2", "1", true }, { "007", "6", true }, { "9223372036854775807", "1", true },
             { "9223372036854775808", "1", false },
             { "-9223372036854775808", "-9223372036854775807", false },
             { "-9223372036854775809", "-1", true }, { "\uFF17", "1", false },
             // A full stop with a combining mark or a joiner after it is one
             // character and does not split; a mark on a digit leaves the stop alone.
             { "2.\u03010", "1", false }, { "2.\u200D0", "1", false },
             { "1\u0301.4", "0.3", true } })
        EXPECT_EQ(AppDelegate::isVersion(version, other), newer) << version << " > " << other;
}
