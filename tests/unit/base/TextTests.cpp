#include "base/Text.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(Text, TheFolderOfAPathIsEverythingBeforeItsLastSlash)
{
    for (auto [path, folder] : { std::pair { "/home/guest/defaults.json", "/home/guest" },
             { "/defaults.json", "/" }, { "defaults.json", "" } })
        EXPECT_EQ(folderOf(path), folder) << path;
}
