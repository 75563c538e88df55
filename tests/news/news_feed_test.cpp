// The news feed's item walk and entity decoding, without a network.
#include "news/news_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tc::news::decodeEntities;
using tc::news::readNewsFeed;

std::vector<std::string> titles(const tc::news::FeedResult& feed) {
    std::vector<std::string> out;
    for (const auto& item : feed.items)
        out.push_back(item.title);
    return out;
}

TEST(NewsFeed, ItemsWhereverTheyStandInStartTagOrderNestedAfterTheirParent) {
    const auto feed = readNewsFeed(R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Feed</title>
  <item><title>one</title><link>https://a.test/1</link><pubDate>Mon, 07 Dec 2026 17:00:00 GMT</pubDate>
    <item><title>one inside</title></item>
  </item>
  <Item><title>other case</title></Item>
  <group><item><title>deep</title></item></group>
  <item><title>first</title><title>second</title><guid>x</guid></item>
  <item/>
</channel></rss>)");
    EXPECT_EQ(feed.error, "");
    EXPECT_EQ(titles(feed), (std::vector<std::string>{"one", "one inside", "deep", "second", ""}));
    ASSERT_EQ(feed.items.size(), 5u);
    EXPECT_EQ(feed.items[0].link, "https://a.test/1");
    EXPECT_EQ(feed.items[0].pubDate, "Mon, 07 Dec 2026 17:00:00 GMT");
    // An item without children is an item with nothing to show or open.
    EXPECT_EQ(feed.items[4].link, "");
    EXPECT_EQ(feed.items[4].pubDate, "");
}

TEST(NewsFeed, EntitiesAreDecodedInTitlesAndLinksCdataAsItsContent) {
    const auto feed =
        readNewsFeed("<rss><channel><item><title>Rates &amp; &quot;FX&quot; &lt;live&gt; &#8364;5 &#x2014; "
                     "it&apos;s</title>"
                     "<link>https://n.test/a?x=1&amp;y=2</link></item>"
                     "<item><title><![CDATA[Plain <b>text</b>]]></title></item></channel></rss>");
    ASSERT_EQ(feed.items.size(), 2u);
    EXPECT_EQ(feed.items[0].title, "Rates & \"FX\" <live> \xE2\x82\xAC"
                                   "5 \xE2\x80\x94 it's");
    EXPECT_EQ(feed.items[0].link, "https://n.test/a?x=1&y=2");
    EXPECT_EQ(feed.items[1].title, "Plain <b>text</b>");
}

TEST(NewsFeed, UnknownOrBrokenReferencesStayAsTheyStand) {
    EXPECT_EQ(decodeEntities("a & b"), "a & b");
    EXPECT_EQ(decodeEntities("&nbsp;&amp"), "&nbsp;&amp");
    EXPECT_EQ(decodeEntities("&#0;&#xD800;&#x110000;&#12a;&#;"), "&#0;&#xD800;&#x110000;&#12a;&#;");
    EXPECT_EQ(decodeEntities("&&amp;;"), "&&;");
    EXPECT_EQ(decodeEntities("&#65;&#x42;&#X43;"), "ABC");
}

TEST(NewsFeed, ABodyThatIsNotAFeedDocumentIsAnErrorNotAnEmptyList) {
    for (const std::string& body : {std::string(), std::string("   \n"), std::string("Service unavailable"),
                                    std::string("no <rss> here"), std::string("<rss>\xff\xfe</rss>")}) {
        SCOPED_TRACE(body);
        const auto feed = readNewsFeed(body);
        EXPECT_NE(feed.error, "");
        EXPECT_TRUE(feed.items.empty());
    }
    // Past the cap, even when it is a feed.
    std::string large = "<rss><channel>";
    while (large.size() <= tc::news::kMaxFeedBytes)
        large += "<item><title>x</title></item>";
    large += "</channel></rss>";
    EXPECT_NE(readNewsFeed(large).error, "");
    // A document without items is read: a category with no news.
    const auto empty = readNewsFeed("\xEF\xBB\xBF<?xml version=\"1.0\"?><rss><channel/></rss>");
    EXPECT_EQ(empty.error, "");
    EXPECT_TRUE(empty.items.empty());
}

} // namespace
