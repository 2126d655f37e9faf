#include "platform/URL.h"

#include <gtest/gtest.h>

using namespace orvi;

TEST(URL, ParsesURLsAndRelativeReferencesKeepingTheSchemeAsWritten)
{
    struct Case {
        std::string text;
        std::optional<std::string> scheme; // nothing: not a URL
    };
    const Case cases[] = {
        { "https://orvi.ai/kiosk?lang=en#top", "https" },
        { "HTTPS://x", "HTTPS" },
        { "Http://example.com:8080/", "Http" },
        { "mailto:desk@orvi.ai", "mailto" },
        { "file:///opt/orvi/index.html", "file" },
        { "index.html", "" },
        { "../faces/orvi-default.webp", "" },
        { "//orvi.ai/path", "" },
        { "https", "" }, // a path, not a scheme
        { "https://orvi.ai/a%20b", "https" },
        { "https://orvi.ai/a b", std::nullopt },
        { " https://orvi.ai", std::nullopt },
        { "https://orvi.ai/\n", std::nullopt },
        { "https://orvi.ai/%zz", std::nullopt },
        { "https://orvi.ai/%4", std::nullopt },
        { "http://[::1", std::nullopt },
        { "http://x/<script>", std::nullopt },
        { std::string("https://orvi.ai/\0.evil.example", 31), std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto url = parseURL(c.text);
        ASSERT_EQ(url.has_value(), c.scheme.has_value());
        if (url) {
            EXPECT_EQ(url->scheme, *c.scheme);
            EXPECT_EQ(url->text, c.text);
        }
    }
}

TEST(URL, OnlyLowerCaseHttpAndHttpsAreWebURLs)
{
    const std::pair<std::string, bool> cases[] = {
        { "https://orvi.ai", true },
        { "http://orvi.ai", true },
        { "HTTPS://orvi.ai", false },
        { "Http://orvi.ai", false },
        { "httpss://orvi.ai", false },
        { "ftp://orvi.ai", false },
        { "file:///etc/passwd", false },
        { "javascript:alert(1)", false },
        { "//orvi.ai", false },
        { "https", false },
    };
    for (const auto& [text, web] : cases) {
        auto url = parseURL(text);
        ASSERT_TRUE(url) << text;
        EXPECT_EQ(isWebURL(*url), web) << text;
    }
}

TEST(URL, FolderURLsArePercentEncodedAndEndWithASlash)
{
    const std::pair<std::string, std::string> cases[] = {
        { "/opt/orvi/share", "file:///opt/orvi/share/" },
        { "/opt/orvi/share/", "file:///opt/orvi/share/" },
        { "/", "file:///" },
        { "/home/guest/My Files", "file:///home/guest/My%20Files/" },
        { "/a#b", "file:///a%23b/" },
        { "/100%", "file:///100%25/" },
        { "/what?", "file:///what%3F/" },
        { "/caf\xC3\xA9", "file:///caf%C3%A9/" },
    };
    for (const auto& [path, expected] : cases) {
        std::string url = fileURLForDirectory(path);
        EXPECT_EQ(url, expected) << path;
        auto parsed = parseURL(url);
        ASSERT_TRUE(parsed) << url;
        EXPECT_EQ(parsed->scheme, "file");
    }
}
