#include "base/URL.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace std::string_literals;

TEST(URL, ParsesKeepingTheSchemeAsWrittenAndOnlyHttpAndHttpsAreWeb)
{
    // The scheme (nullptr: no URL), and whether it is a web URL.
    for (auto [text, scheme, web] : { std::tuple { "https://orvi.ai/k?l=en#top", "https", true },
             { "http://o", "http", true }, { "HTTPS://x", "HTTPS", false },
             { "javascript:alert(1)", "javascript", false }, { "//orvi.ai/p", "", false },
             { " https://o", nullptr, false }, { "https://o/%zz", nullptr, false } }) {
        auto url = parseURL(text);
        EXPECT_STREQ(url ? url->scheme.c_str() : nullptr, scheme) << text;
        EXPECT_EQ(url && isWebURL(*url), web) << text;
        EXPECT_EQ(url ? url->text : text, text);
    }
    EXPECT_FALSE(parseURL("https://o/\0.evil"s));
    for (auto [folder, url] : { std::pair { "/opt/o", "file:///opt/o/" },
             { "/opt/o/", "file:///opt/o/" }, { "/", "file:///" }, { "/a#b?", "file:///a%23b%3F/" },
             { "/caf\u00E9", "file:///caf%C3%A9/" } })
        EXPECT_EQ(fileURLForDirectory(folder), url);
}
