#include "platform/property_list.h"

#include "support/case_table.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <sys/stat.h>

namespace {

using namespace tc;

using platform::PlistArray;
using platform::PlistData;
using platform::PlistDate;
using platform::PlistDictionary;
using platform::PlistLimits;
using platform::PlistValue;
using platform::PropertyList;

PlistDate at(std::int64_t secondsSinceEpoch) {
    return PlistDate{std::chrono::sys_seconds{std::chrono::seconds{secondsSinceEpoch}}};
}

PlistValue read(std::string_view doc) {
    auto r = PropertyList::readBytes(doc);
    EXPECT_TRUE(r.ok()) << r.error();
    return r ? r.value() : PlistValue();
}

std::string readError(std::string_view doc, const PlistLimits& limits = {}) {
    auto r = PropertyList::readBytes(doc, limits);
    EXPECT_FALSE(r.ok()) << "accepted: " << doc.substr(0, 200);
    return r.error();
}

std::string nested(int depth) {
    std::string doc = "<plist>";
    for (int i = 0; i < depth; ++i)
        doc += "<array>";
    for (int i = 0; i < depth; ++i)
        doc += "</array>";
    return doc + "</plist>";
}

TEST(PropertyList, ReadsEveryValueType) {
    const PlistValue v = read(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<!-- settings -->
<dict>
	<key>text</key><string>a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos; &#233;&#x20AC;</string>
	<key>cdata</key><string>x<![CDATA[<raw> & ]]>y<!-- dropped -->z</string>
	<key>empty</key><string/>
	<key>spaces</key><string>  kept  </string>
	<key>min</key><integer> -9223372036854775808 </integer>
	<key>plus</key><integer>+42</integer>
	<key>real</key><real>-1.5e-3</real>
	<key>nan</key><real>NaN</real>
	<key>inf</key><real>-infinity</real>
	<key>yes</key><true/>
	<key>no</key><false></false>
	<key>when</key><date>2024-02-29T23:59:59Z</date>
	<key>bytes</key><data>
		AAECAwQF
		/w==
	</data>
	<key>nothing</key><data/>
	<key>list</key><array><integer>1</integer><string>two</string><array/><dict/></array>
</dict>
</plist>
)");
    ASSERT_TRUE(v.isDictionary());
    EXPECT_EQ(*v.find("text")->string(), "a & b <c> \"d\" 'e' \xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(*v.find("cdata")->string(), "x<raw> & yz");
    EXPECT_EQ(*v.find("empty")->string(), "");
    EXPECT_EQ(*v.find("spaces")->string(), "  kept  ");
    EXPECT_EQ(*v.find("min")->integer(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(*v.find("plus")->integer(), 42);
    EXPECT_DOUBLE_EQ(*v.find("real")->real(), -0.0015);
    EXPECT_TRUE(std::isnan(*v.find("nan")->real()));
    EXPECT_EQ(*v.find("inf")->real(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(*v.find("yes")->boolean(), true);
    EXPECT_EQ(*v.find("no")->boolean(), false);
    EXPECT_EQ(*v.find("when")->date(), at(1709251199));
    EXPECT_EQ(*v.find("bytes")->data(), (PlistData{0, 1, 2, 3, 4, 5, 255}));
    EXPECT_TRUE(v.find("nothing")->data()->empty());
    const PlistArray& list = *v.find("list")->array();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], PlistValue(1));
    EXPECT_EQ(list[1], PlistValue("two"));
    EXPECT_TRUE(list[2].array()->empty());
    EXPECT_TRUE(list[3].dictionary()->empty());
    // Keys come back in document order.
    std::vector<std::string> keys;
    for (const auto& [key, value] : *v.dictionary())
        keys.push_back(key);
    EXPECT_EQ(keys.front(), "text");
    EXPECT_EQ(keys.back(), "list");
    EXPECT_EQ(v.find("missing"), nullptr);
    EXPECT_EQ(v.find("text")->find("x"), nullptr); // lookup in a non-dictionary
}

TEST(PropertyList, AcceptsBomBareRootAndRepeatedKeys) {
    EXPECT_EQ(read("\xEF\xBB\xBF<plist><true/></plist>"), PlistValue(true));
    EXPECT_EQ(read("<?xml version='1.0'?>\n<integer>7</integer>\n<!-- end -->\n"), PlistValue(7));
    // The last value wins and the key keeps its first place.
    PlistValue v = read("<plist><dict><key>a</key><string>x</string><key>b</key><true/>"
                        "<key>a</key><integer>2</integer></dict></plist>");
    ASSERT_EQ(v.dictionary()->size(), 2u);
    EXPECT_EQ(v.dictionary()->begin()->first, "a");
    EXPECT_EQ(*v.find("a"), PlistValue(2));
}

TEST(PropertyList, DatesCoverTheFourDigitYears) {
    EXPECT_EQ(*read("<date>1970-01-01T00:00:00Z</date>").date(), at(0));
    EXPECT_EQ(*read("<date>1969-12-31T23:59:59Z</date>").date(), at(-1));
    EXPECT_EQ(*read("<date>0001-01-01T00:00:00Z</date>").date(), at(-62135596800));
    EXPECT_EQ(*read("<date>9999-12-31T23:59:59Z</date>").date(), at(253402300799));
    for (const char* bad : {"2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z", "2024-01-01T24:00:00Z",
                            "2024-01-01 00:00:00Z", "2024-01-01T00:00:00", "2024-1-01T00:00:00Z"})
        EXPECT_NE(readError(std::string("<date>") + bad + "</date>").find("invalid date"), std::string::npos)
            << bad;

    std::string doc;
    EXPECT_FALSE(PropertyList::write(PlistValue(at(253402300800)), doc));               // year 10000
    EXPECT_FALSE(PropertyList::write(PlistValue(at(-62135596800 - 367 * 86400)), doc)); // year -1
}

TEST(PropertyList, RejectsMalformedDocumentsWithALineNumber) {
    for (const auto& row : testing_support::caseTable("tables/plist_errors.txt", 2))
        EXPECT_NE(readError(row[0]).find(row[1]), std::string::npos) << row[0] << " -> " << readError(row[0]);
    EXPECT_EQ(readError("<plist>\n<dict>\n<key>a</key>\n<integer>x</integer>\n</dict></plist>")
                  .rfind("line 4: ", 0),
              0u);
}

TEST(PropertyList, LineEndsAndCharacterReferencesReadAsXMLReadsThem) {
    for (const auto& row : testing_support::caseTable("tables/plist_texts.txt", 2)) {
        const PlistValue v = read(row[0]);
        const std::string text =
            v.isDictionary() ? v.dictionary()->begin()->first : v.asString().value_or("?");
        EXPECT_EQ(text, row[1]) << "line " << row.line;
    }
}

TEST(PropertyList, DatesMayLeaveOutTheirSmallerUnits) {
    for (const auto& row : testing_support::caseTable("tables/plist_dates.txt", 2)) {
        const auto r = PropertyList::readBytes("<date>" + row[0] + "</date>");
        ASSERT_EQ(r.ok(), row[1] != "refused") << "line " << row.line << ": " << r.error();
        std::string doc;
        if (r && PropertyList::write(r.value(), doc)) {
            EXPECT_NE(doc.find("<date>" + row[1] + "</date>"), std::string::npos) << "line " << row.line;
        }
    }
}

TEST(PropertyList, WrittenTextIsAlwaysXML) {
    for (const auto& row : testing_support::caseTable("tables/plist_written_texts.txt", 2)) {
        std::string doc;
        ASSERT_TRUE(PropertyList::write(PlistValue(PlistDictionary{{row[0], PlistValue(row[0])}}), doc));
        EXPECT_NE(doc.find("<key>" + row[1] + "</key>"), std::string::npos) << "line " << row.line;
        EXPECT_NE(doc.find("<string>" + row[1] + "</string>"), std::string::npos) << "line " << row.line;
        // It reads back, under the reader's own refusals, as the repaired text.
        const std::string repaired = PropertyList::repairedText(row[0]);
        EXPECT_EQ(read(doc), PlistValue(PlistDictionary{{repaired, PlistValue(repaired)}}))
            << "line " << row.line;
    }
}

TEST(PropertyList, EnforcesDepthSizeAndCountLimits) {
    EXPECT_TRUE(PropertyList::readBytes(nested(64)).ok());
    EXPECT_NE(readError(nested(65)).find("nesting deeper than 64"), std::string::npos);
    // Deep input made only of opening tags must fail cleanly, not exhaust the stack.
    EXPECT_NE(readError(std::string(100000, '<').insert(0, "<plist>")).find("line 1"), std::string::npos);
    std::string deep = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deep += "<dict><key>k</key>";
    EXPECT_NE(readError(deep).find("nesting deeper"), std::string::npos);

    PlistLimits small;
    small.maxBytes = 32;
    EXPECT_NE(
        readError("<plist><string>0123456789012345678901234</string></plist>", small).find("larger than 32"),
        std::string::npos);
    small = {};
    small.maxValues = 3;
    EXPECT_TRUE(PropertyList::readBytes("<array><true/><true/></array>", small).ok());
    EXPECT_NE(readError("<array><true/><true/><true/></array>", small).find("more than 3 values"),
              std::string::npos);

    // The writer refuses what the reader would refuse.
    PlistValue v(PlistArray{});
    for (int i = 0; i < 64; ++i)
        v = PlistValue(PlistArray{v});
    std::string doc;
    EXPECT_NE(PropertyList::write(v, doc).error.find("nesting deeper"), std::string::npos);
    EXPECT_TRUE(doc.empty());
}

TEST(PropertyList, WriterOutputReadsBackToTheSameValue) {
    PlistDictionary inner{{"z", PlistValue(1)}, {"a", PlistValue(PlistArray{})}};
    PlistDictionary root{
        {"markup", PlistValue("<a href=\"x\">&amp;</a> ]]> 'q'")},
        {"controls", PlistValue(std::string("nul\0 cr\r lf\n tab\t bell\x07", 23))},
        {"unicode", PlistValue("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")},
        {"", PlistValue("empty key")},
        {"max", PlistValue(std::numeric_limits<std::int64_t>::max())},
        {"tiny", PlistValue(5e-324)},
        {"third", PlistValue(1.0 / 3.0)},
        {"whole", PlistValue(5.0)},
        {"negzero", PlistValue(-0.0)},
        {"nan", PlistValue(std::nan(""))},
        {"inf", PlistValue(std::numeric_limits<double>::infinity())},
        {"flag", PlistValue(false)},
        {"when", PlistValue(at(-62135596800))},
        {"bytes", PlistValue(PlistData{0, 1, 2, 0xFE, 0xFF})},
        {"nested", PlistValue(PlistArray{PlistValue(inner), PlistValue(PlistDictionary{})})},
    };
    std::string doc;
    ASSERT_TRUE(PropertyList::write(PlistValue(root), doc));
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist", 0), 0u);
    EXPECT_NE(
        doc.find("<key>markup</key>\n\t<string>&lt;a href=\"x\"&gt;&amp;amp;&lt;/a&gt; ]]&gt; 'q'</string>"),
        std::string::npos);
    EXPECT_NE(doc.find("<data>AAEC/v8=</data>"), std::string::npos);
    EXPECT_NE(doc.find("<date>0001-01-01T00:00:00Z</date>"), std::string::npos);
    EXPECT_NE(doc.find("<real>5</real>"), std::string::npos);
    EXPECT_NE(doc.find("<dict/>"), std::string::npos);

    PlistValue back = read(doc);
    EXPECT_EQ(back, PlistValue(root));
    // Order survives too, not only the set of keys.
    auto it = back.dictionary()->begin();
    EXPECT_EQ(it->first, "markup");
    EXPECT_EQ((++it)->first, "controls");
    EXPECT_EQ(*back.find("controls")->string(), std::string("nul\0 cr\r lf\n tab\t bell\x07", 23));
    EXPECT_TRUE(std::signbit(*back.find("negzero")->real()));
    EXPECT_EQ(*back.find("whole"), PlistValue(5.0)); // still a real, not an integer
}

TEST(PropertyList, DictionaryKeepsOrderAndComparesAsASet) {
    PlistDictionary d{{"b", PlistValue(1)}, {"a", PlistValue(2)}, {"c", PlistValue(3)}};
    d.set("a", PlistValue("replaced"));
    EXPECT_TRUE(d.erase("b"));
    EXPECT_FALSE(d.erase("b"));
    d.set("d", PlistValue(4));
    std::string order;
    for (const auto& [k, v] : d)
        order += k;
    EXPECT_EQ(order, "acd");
    // The index follows the shifted entries.
    EXPECT_EQ(*d.find("c"), PlistValue(3));
    EXPECT_EQ(*d.find("d"), PlistValue(4));
    EXPECT_EQ(*d.find("a"), PlistValue("replaced"));

    PlistDictionary same{{"d", PlistValue(4)}, {"c", PlistValue(3)}, {"a", PlistValue("replaced")}};
    EXPECT_EQ(d, same);
    same.set("c", PlistValue(3.0));
    EXPECT_FALSE(d == same); // integer 3 and real 3 are different values
    EXPECT_FALSE(PlistValue(1) == PlistValue(true));
}

TEST(PlistValue, LenientReadingsByType) {
    // Texts read as lenient numbers and flags (their rules have tests of their own); the other types:
    struct BoolCase {
        PlistValue v;
        bool expected;
    };
    const BoolCase bools[] = {{PlistValue(true), true},
                              {PlistValue(false), false},
                              {PlistValue(0), false},
                              {PlistValue(-3), true},
                              {PlistValue(0.0), false},
                              {PlistValue(0.25), true},
                              {PlistValue("YES"), true},
                              {PlistValue("000"), false},
                              {PlistValue(PlistData{1}), false},
                              {PlistValue(PlistArray{PlistValue(true)}), false}};
    for (const auto& c : bools)
        EXPECT_EQ(c.v.asBool(), c.expected) << c.v.asString().value_or("(non-text)");

    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(PlistValue(" \t-12abc").asInt(), -12);
    EXPECT_EQ(PlistValue(5000).asInt(), 5000);
    EXPECT_EQ(PlistValue(3.9).asInt(), 3);
    EXPECT_EQ(PlistValue(-3.9).asInt(), -3);
    EXPECT_EQ(PlistValue(1e30).asInt(), max);
    EXPECT_EQ(PlistValue(-1e30).asInt(), min);
    EXPECT_EQ(PlistValue(std::nan("")).asInt(), 0);
    EXPECT_EQ(PlistValue(true).asInt(), 1);
    EXPECT_EQ(PlistValue(PlistDictionary{}).asInt(), 0);

    EXPECT_DOUBLE_EQ(PlistValue(" 12.5kg").asDouble(), 12.5);
    EXPECT_DOUBLE_EQ(PlistValue(7).asDouble(), 7.0);

    EXPECT_EQ(PlistValue("text").asString(), "text");
    EXPECT_EQ(PlistValue(-42).asString(), "-42");
    EXPECT_EQ(PlistValue(0.1).asString(), "0.1");
    EXPECT_EQ(PlistValue(true).asString(), "1");
    EXPECT_EQ(PlistValue(PlistData{}).asString(), std::nullopt);
    EXPECT_EQ(PlistValue(at(0)).asString(), std::nullopt);
}

TEST(PropertyList, FilesAreWrittenWholeAndPrivately) {
    testing_support::TempDir dir;
    const auto file = dir.write("out.plist", "old contents");
    PlistValue v(PlistDictionary{{"k", PlistValue("v")}});
    ASSERT_TRUE(PropertyList::writeFile(file, v));
    auto back = PropertyList::readFile(file);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back.value(), v);

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        1);

    auto missing = PropertyList::readFile(dir.path() / "missing.plist");
    EXPECT_NE(missing.error().find("missing.plist"), std::string::npos);
    EXPECT_FALSE(PropertyList::writeFile(dir.path() / "no" / "such" / "folder.plist", v));

    PlistLimits small;
    small.maxBytes = 16;
    auto big = PropertyList::readFile(file, small);
    EXPECT_NE(big.error().find("larger than 16"), std::string::npos);
}

} // namespace
