// Which server addresses the browser is handed, and as what.
#include "gui/controls/web_address.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::MissingScheme;
using tc::gui::webAddressToOpen;

TEST(WebAddress, HttpAndHttpsOnlyAnyLetterCaseBlanksAroundTrimmed) {
    for (auto missing : {MissingScheme::Refuse, MissingScheme::AssumeHttps}) {
        EXPECT_EQ(webAddressToOpen("https://news.test/a?x=1&y=2", missing), "https://news.test/a?x=1&y=2");
        EXPECT_EQ(webAddressToOpen("  HTTP://News.test:8080/x \n", missing), "http://News.test:8080/x");
        EXPECT_EQ(webAddressToOpen("https://user@news.test/", missing), "https://user@news.test/");
        for (const char* refused :
             {"javascript:alert(1)", "file:///etc/passwd", "ftp://files.test/a", "mailto:desk@example.test",
              "data:text/html,x", "https://", "https:///path", "https://:80/", "https://a b.test/",
              "https://a.test/\x01", "", "   "})
            EXPECT_FALSE(webAddressToOpen(refused, missing)) << refused;
    }
    EXPECT_FALSE(webAddressToOpen(std::string(9000, 'a'), MissingScheme::AssumeHttps));
}

TEST(WebAddress, WithoutASchemeRefusedOrTakenAsHttps) {
    EXPECT_FALSE(webAddressToOpen("www.example.test/hours", MissingScheme::Refuse));
    EXPECT_EQ(webAddressToOpen("www.example.test/hours", MissingScheme::AssumeHttps),
              "https://www.example.test/hours");
    // A host and its port is not a scheme.
    EXPECT_EQ(webAddressToOpen("desk.test:8443/x", MissingScheme::AssumeHttps), "https://desk.test:8443/x");
    EXPECT_EQ(webAddressToOpen("desk.test:8443", MissingScheme::AssumeHttps), "https://desk.test:8443");
    // Text that only holds "http" somewhere is no http address.
    EXPECT_EQ(webAddressToOpen("example.test/http", MissingScheme::AssumeHttps), "https://example.test/http");
    EXPECT_FALSE(webAddressToOpen("httpx://example.test", MissingScheme::AssumeHttps));
}

} // namespace
