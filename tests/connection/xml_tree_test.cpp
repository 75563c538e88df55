#include "connection/data_additions.h"
#include "connection/xml_tree.h"
#include "platform/bundle.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace tc;

using T = XMLTree;

std::string name(const XMLTreeElement* e) {
    return std::string(T::elementName(e).value_or("<nil>"));
}
std::string text(const XMLTreeElement* e) {
    return std::string(T::textForElement(e).value_or("<nil>"));
}
std::vector<std::string> childNames(const XMLTreeElement* e) {
    std::vector<std::string> out;
    for (const XMLTreeElement* c = e->firstChild; c; c = c->nextSibling)
        out.push_back(name(c));
    return out;
}
std::size_t countReachable(const XMLTreeElement* e) {
    std::size_t n = 0;
    for (; e; e = e->nextSibling)
        n += 1 + countReachable(e->firstChild);
    return n;
}

TEST(XMLTreeTest, ChildrenSiblingsAndTexts) {
    auto t = T::treeWithXMLString("<a><b>x</b><b>y</b></a>");
    const XMLTreeElement* a = t->rootXMLElement();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(name(a), "a");
    EXPECT_EQ(text(a), "");
    EXPECT_EQ(a->text, nullptr);
    const XMLTreeElement* b1 = a->firstChild;
    ASSERT_NE(b1, nullptr);
    const XMLTreeElement* b2 = b1->nextSibling;
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(text(b1), "x");
    EXPECT_EQ(text(b2), "y");
    EXPECT_EQ(b2->previousSibling, b1);
    EXPECT_EQ(b2->nextSibling, nullptr);
    EXPECT_EQ(a->lastChild, b2);
    EXPECT_EQ(b1->parent, a);
    EXPECT_EQ(T::nextSiblingNamed("b", b1), b2);
    EXPECT_EQ(T::nextSiblingNamed("b", b2), nullptr);
    EXPECT_EQ(T::childElementNamed("b", a), b1);
    EXPECT_EQ(T::childElementNamed("c", a), nullptr);
    EXPECT_TRUE(t->error().empty());
}

TEST(XMLTreeTest, TextTrimmingAndChildrenClearText) {
    EXPECT_EQ(text(T::treeWithXMLString("<a>  padded \t\r\n</a>")->rootXMLElement()), "padded");
    EXPECT_EQ(text(T::treeWithXMLString("<a> in  side </a>")->rootXMLElement()), "in  side");
    // Text between children, and self-closing children alone, still leave the parent without text.
    EXPECT_EQ(T::treeWithXMLString("<a>t1<b>x</b>t2<c/>t3</a>")->rootXMLElement()->text, nullptr);
    EXPECT_EQ(T::treeWithXMLString("<a>t<b/></a>")->rootXMLElement()->text, nullptr);
    // A self-closing element has no text and does not become a parent.
    auto t = T::treeWithXMLString("<r><a/><b>x</b></r>");
    EXPECT_EQ(childNames(t->rootXMLElement()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t->rootXMLElement()->firstChild->text, nullptr);
    // An empty element has an empty text, not none; a '>' right behind the tag means none.
    EXPECT_EQ(T::treeWithXMLString("<a></a>")->rootXMLElement()->text[0], '\0');
    EXPECT_EQ(T::treeWithXMLString("<a>>x</a>")->rootXMLElement()->text, nullptr);
}

TEST(XMLTreeTest, CharacterData) {
    EXPECT_EQ(text(T::treeWithXMLString("<a><![CDATA[1<2]]></a>")->rootXMLElement()), "1<2");
    // Markup inside is text; sections and the text around them join up.
    auto t = T::treeWithXMLString("<a><![CDATA[<b>x</b>]]></a>");
    EXPECT_EQ(text(t->rootXMLElement()), "<b>x</b>");
    EXPECT_EQ(t->rootXMLElement()->firstChild, nullptr);
    EXPECT_EQ(text(T::treeWithXMLString("<a>p<![CDATA[1]]>q<![CDATA[ 2 ]]>r</a>")->rootXMLElement()),
              "p1q 2 r");
    EXPECT_EQ(text(T::treeWithXMLString("<a><![CDATA[a<![CDATA[b]]>c</a>")->rootXMLElement()),
              "a<![CDATA[bc");
    EXPECT_EQ(text(T::treeWithXMLString("<a><![CDATA[]]></a>")->rootXMLElement()), "");
    // Following elements are still read after a section.
    t = T::treeWithXMLString("<r><a><![CDATA[x]]></a><b>y</b></r>");
    EXPECT_EQ(text(T::childElementNamed("a", t->rootXMLElement())), "x");
    EXPECT_EQ(text(T::childElementNamed("b", t->rootXMLElement())), "y");

    // Many sections in one text (each handled once, not by moving the rest of the text again).
    std::string doc = "<a>";
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        doc += "<![CDATA[" + std::to_string(i % 10) + "]]>-";
        expected += std::to_string(i % 10) + "-";
    }
    doc += "</a>";
    EXPECT_EQ(text(T::treeWithXMLString(doc)->rootXMLElement()), expected);
}

TEST(XMLTreeTest, Attributes) {
    auto t = T::treeWithXMLString(R"(<a k="1" j='say "hi"'/>)");
    const XMLTreeElement* a = t->rootXMLElement();
    ASSERT_NE(a->firstAttribute, nullptr);
    EXPECT_EQ(T::attributeName(a->firstAttribute), "k");
    EXPECT_EQ(T::attributeValue(a->firstAttribute), "1");
    ASSERT_NE(a->firstAttribute->next, nullptr);
    EXPECT_EQ(T::attributeName(a->firstAttribute->next), "j");
    EXPECT_EQ(T::attributeValue(a->firstAttribute->next), "say \"hi\"");
    EXPECT_EQ(a->firstAttribute->next->next, nullptr);
    EXPECT_EQ(a->text, nullptr);
    EXPECT_EQ(name(a), "a");

    // CDATA in a value may hide '>' and quotes; its markers are removed.
    t = T::treeWithXMLString(R"(<a v="p<![CDATA[x>'"y]]>q<![CDATA[z]]>" w = '2' v="dup">body</a>)");
    a = t->rootXMLElement();
    EXPECT_EQ(T::valueOfAttributeNamed("v", a), "px>'\"yqz");
    EXPECT_EQ(T::valueOfAttributeNamed("w", a), "2");
    EXPECT_EQ(T::valueOfAttributeNamed("x", a), std::nullopt);
    EXPECT_EQ(text(a), "body");
    EXPECT_EQ(t->attributeCount(), 3u);

    // Values without quotes are never recorded; an unclosed quote loses the attribute, not the element.
    t = T::treeWithXMLString("<a k=v>x</a>");
    EXPECT_EQ(t->rootXMLElement()->firstAttribute, nullptr);
    EXPECT_EQ(text(t->rootXMLElement()), "x");
    t = T::treeWithXMLString(R"(<a k="1>text</a>)");
    EXPECT_EQ(t->rootXMLElement()->firstAttribute, nullptr);
    EXPECT_EQ(text(t->rootXMLElement()), "text");
    EXPECT_EQ(name(t->rootXMLElement()), "a");

    // The name ends only at a space or '/': a tab runs on into the name.
    t = T::treeWithXMLString("<a\tk=\"1\">x</a>");
    EXPECT_EQ(name(t->rootXMLElement()), "a\tk=\"1\"");
    EXPECT_EQ(t->rootXMLElement()->firstAttribute, nullptr);
}

TEST(XMLTreeTest, MarkupThatIsSkipped) {
    auto t = T::treeWithXMLString(R"(<?xml version="1.0"?><!-- c --><r/>)");
    ASSERT_NE(t->rootXMLElement(), nullptr);
    EXPECT_EQ(name(t->rootXMLElement()), "r");
    t = T::treeWithXMLString("<!DOCTYPE r><?pi x?><r>t<!-- <b>not</b> --></r>");
    EXPECT_EQ(name(t->rootXMLElement()), "r");
    EXPECT_EQ(t->rootXMLElement()->firstChild, nullptr);
    // A comment inside text is kept as text.
    EXPECT_EQ(text(T::treeWithXMLString("<a>x<!--c-->y</a>")->rootXMLElement()), "x<!--c-->y");
    // No element at all.
    EXPECT_EQ(T::treeWithXMLString("")->rootXMLElement(), nullptr);
    EXPECT_EQ(T::treeWithXMLString("just text")->rootXMLElement(), nullptr);
    EXPECT_EQ(T::treeWithXMLString("<!-- only -->")->rootXMLElement(), nullptr);
    EXPECT_EQ(T().rootXMLElement(), nullptr);
}

TEST(XMLTreeTest, EntitiesStayAsWritten) {
    auto t =
        T::treeWithXMLString(R"(<a v="&quot;&#34;&bad;">x &amp; y &lt; &#38; &#x26; &#xZZ; &nosuch; & </a>)");
    EXPECT_EQ(text(t->rootXMLElement()), "x &amp; y &lt; &#38; &#x26; &#xZZ; &nosuch; &");
    EXPECT_EQ(T::valueOfAttributeNamed("v", t->rootXMLElement()), "&quot;&#34;&bad;");
}

TEST(XMLTreeTest, ManySiblingsSpanSeveralBuffers) {
    std::string doc = "<r>";
    for (int i = 0; i < 249; ++i)
        doc += "<e i='" + std::to_string(i) + "'>" + std::to_string(i) + "</e>";
    doc += "</r>";
    auto t = T::treeWithXMLString(doc);
    EXPECT_EQ(t->elementCount(), 250u);
    EXPECT_EQ(t->elementBufferCount(), 3u);
    EXPECT_EQ(t->attributeBufferCount(), 3u);
    EXPECT_EQ(countReachable(t->rootXMLElement()), 250u);
    int i = 0;
    for (const XMLTreeElement* e = t->rootXMLElement()->firstChild; e; e = e->nextSibling, ++i) {
        ASSERT_EQ(text(e), std::to_string(i));
        ASSERT_EQ(T::valueOfAttributeNamed("i", e), std::to_string(i));
    }
    EXPECT_EQ(i, 249);
}

TEST(XMLTreeTest, MalformedMarkupBuildsATreeByTheRules) {
    // Closing names are not compared.
    auto t = T::treeWithXMLString("<a><b>x</c></a>");
    EXPECT_EQ(childNames(t->rootXMLElement()), std::vector<std::string>{"b"});
    EXPECT_EQ(text(t->rootXMLElement()->firstChild), "x");
    // Stray closing tags before the root and past the end change nothing.
    t = T::treeWithXMLString("</x><a>y</a></a></a><b/>");
    EXPECT_EQ(name(t->rootXMLElement()), "a");
    EXPECT_EQ(text(t->rootXMLElement()), "y");
    EXPECT_EQ(t->rootXMLElement()->nextSibling, nullptr);
    // Unclosed elements stay parents.
    t = T::treeWithXMLString("<a><b><c>z");
    EXPECT_EQ(name(t->rootXMLElement()->firstChild->firstChild), "c");
    EXPECT_EQ(text(t->rootXMLElement()->firstChild->firstChild), "z");
    // A stray '<' opens a nameless element that runs to the next '<'.
    t = T::treeWithXMLString("<a>1 < 2</a>");
    ASSERT_NE(t->rootXMLElement()->firstChild, nullptr);
    EXPECT_EQ(name(t->rootXMLElement()->firstChild), "");
    EXPECT_EQ(name(t->rootXMLElement()), "a");
    // A '<' with nothing behind it, and '<>' alone.
    EXPECT_EQ(T::treeWithXMLString("<")->rootXMLElement(), nullptr);
    EXPECT_EQ(name(T::treeWithXMLString("<>")->rootXMLElement()), "");
    // A NUL inside the document ends the text it falls in.
    const char withNul[] = "<a>x\0y</a><b/>";
    t = T::treeWithXMLString(std::string_view(withNul, sizeof withNul - 1));
    EXPECT_EQ(text(t->rootXMLElement()), "x");
}

TEST(XMLTreeTest, DocumentsEndingTooSoon) {
    auto t = T::treeWithXMLString("<a>x<!-- never closed");
    EXPECT_EQ(name(t->rootXMLElement()), "a");
    EXPECT_EQ(t->rootXMLElement()->firstChild, nullptr);
    t = T::treeWithXMLString("<a><![CDATA[abc");
    EXPECT_EQ(text(t->rootXMLElement()), "abc");
    // Elements still open at the end are closed there.
    EXPECT_EQ(text(T::treeWithXMLString("<a><![CDATA[x]]> ")->rootXMLElement()), "x");
    t = T::treeWithXMLString("<a> t <b> u ");
    EXPECT_EQ(t->rootXMLElement()->text, nullptr);
    EXPECT_EQ(text(t->rootXMLElement()->firstChild), "u");
    t = T::treeWithXMLString("<a><b k=\"1\"");
    EXPECT_EQ(t->rootXMLElement()->firstChild, nullptr);
    t = T::treeWithXMLString("<a><b v='<![CDATA[>'>");
    EXPECT_EQ(t->rootXMLElement()->firstChild, nullptr);

    // Cut at every byte: each prefix parses (ASan checks no byte outside the copy is touched).
    const std::string doc =
        R"(<?xml version="1.0"?><!DOCTYPE r><r a="1" b='"'><!-- c --><x>t &amp; u</x>)"
        R"(<y v="<![CDATA[>"]]>"/><z><![CDATA[1<2]]> tail <![CDATA[]]]]></z><w>  </w><q/></r>)";
    for (std::size_t n = 0; n <= doc.size(); ++n) {
        auto p = T::treeWithXMLString(doc.substr(0, n));
        EXPECT_LE(countReachable(p->rootXMLElement()), 7u) << n;
    }
    t = T::treeWithXMLString(doc);
    const XMLTreeElement* r = t->rootXMLElement();
    EXPECT_EQ(childNames(r), (std::vector<std::string>{"x", "y", "z", "w", "q"}));
    EXPECT_EQ(T::valueOfAttributeNamed("b", r), "\"");
    EXPECT_EQ(T::valueOfAttributeNamed("v", T::childElementNamed("y", r)), ">\"");
    EXPECT_EQ(text(T::childElementNamed("z", r)), "1<2 tail ]]");
    EXPECT_EQ(text(T::childElementNamed("w", r)), "");
}

TEST(XMLTreeTest, CapsRefuseTheWholeDocument) {
    std::string deep;
    for (int i = 0; i < T::kMaxDepth; ++i)
        deep += "<d>";
    auto t = T::treeWithXMLString(deep);
    EXPECT_TRUE(t->error().empty());
    EXPECT_EQ(t->elementCount(), static_cast<std::size_t>(T::kMaxDepth));
    t = T::treeWithXMLString(deep + "<d/>");
    EXPECT_EQ(t->rootXMLElement(), nullptr);
    EXPECT_NE(t->error().find("nested deeper"), std::string::npos);
    // Closed elements do not add up.
    std::string flat;
    for (int i = 0; i < 2000; ++i)
        flat += "<d><e>x</e></d>";
    EXPECT_TRUE(T::treeWithXMLString("<r>" + flat + "</r>")->error().empty());

    T small(T::Limits{.maxDocumentBytes = 64, .maxDepth = 4, .maxElements = 3, .maxAttributes = 2});
    EXPECT_TRUE(small.initWithXMLString("<a><b/><c/></a>"));
    EXPECT_FALSE(small.initWithXMLString("<a><b/><c/><d/></a>"));
    EXPECT_NE(small.error().find("elements"), std::string::npos);
    EXPECT_EQ(small.rootXMLElement(), nullptr);
    EXPECT_EQ(small.elementBufferCount(), 0u);
    EXPECT_FALSE(small.initWithXMLString("<a x='1' y='2' z='3'/>"));
    EXPECT_NE(small.error().find("attributes"), std::string::npos);
    EXPECT_FALSE(small.initWithXMLString("<a>" + std::string(58, 'x') + "</a>"));
    EXPECT_NE(small.error().find("larger"), std::string::npos);
    // A refused document does not poison the next one.
    EXPECT_TRUE(small.initWithXMLString("<a>ok</a>"));
    EXPECT_EQ(text(small.rootXMLElement()), "ok");
    EXPECT_TRUE(small.error().empty());

    std::string huge(T::kMaxDocumentBytes + 1, ' ');
    t = T::treeWithXMLString(huge);
    EXPECT_FALSE(t->error().empty());
}

TEST(XMLTreeTest, Utf8) {
    auto t = T::treeWithXMLString("<caf\xC3\xA9 n='\xE2\x82\xAC'>\xF0\x9F\x98\x80</caf\xC3\xA9>");
    EXPECT_EQ(name(t->rootXMLElement()), "caf\xC3\xA9");
    EXPECT_EQ(T::valueOfAttributeNamed("n", t->rootXMLElement()), "\xE2\x82\xAC");
    EXPECT_EQ(text(t->rootXMLElement()), "\xF0\x9F\x98\x80");
    const std::vector<std::uint8_t> bad = {'<', 'a', 0xFF, ' ',  'n', '=', '"', 0xC3,
                                           '"', '>', 0xE2, 0x82, '<', '/', 'a', '>'};
    t = T::treeWithXMLData(bad);
    EXPECT_EQ(T::elementName(t->rootXMLElement()), std::nullopt);
    EXPECT_EQ(T::textForElement(t->rootXMLElement()), std::nullopt);
    EXPECT_EQ(T::attributeValue(t->rootXMLElement()->firstAttribute), std::nullopt);
    EXPECT_EQ(T::valueOfAttributeNamed("n", t->rootXMLElement()), std::nullopt);
    // Missing records read as empty.
    EXPECT_EQ(T::elementName(nullptr), "");
    EXPECT_EQ(T::attributeValue(nullptr), "");
    EXPECT_EQ(T::childElementNamed("a", nullptr), nullptr);
}

TEST(XMLTreeTest, SnapshotTablesAndMovedReader) {
    auto t = T::treeWithXMLString(
        "<NewDataSet>\n  <Table1>\n    <userid>17</userid>\n    <userenabled>true</userenabled>\n"
        "  </Table1>\n  <Table6><Code>EURUSD</Code><Name>Euro &amp; Dollar</Name></Table6>\n"
        "  <Table6><Code>GBPUSD</Code><Ask/></Table6>\n</NewDataSet>\n");
    T moved = std::move(*t);
    t.reset();
    const XMLTreeElement* root = moved.rootXMLElement();
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"Table1", "Table6", "Table6"}));
    const XMLTreeElement* user = T::childElementNamed("Table1", root);
    EXPECT_EQ(text(T::childElementNamed("userid", user)), "17");
    EXPECT_EQ(text(T::childElementNamed("userenabled", user)), "true");
    const XMLTreeElement* row2 = T::nextSiblingNamed("Table6", T::childElementNamed("Table6", root));
    EXPECT_EQ(text(T::childElementNamed("Code", row2)), "GBPUSD");
    EXPECT_EQ(text(T::childElementNamed("Ask", row2)), "");
    EXPECT_EQ(text(T::childElementNamed("Name", root->firstChild->nextSibling)), "Euro &amp; Dollar");
}

class XMLTreeFileTest : public ::testing::Test {
protected:
    void write(const std::string& file, std::string_view bytes) { resources.write(file, bytes); }
    testing_support::ScopedResources resources;
};

TEST_F(XMLTreeFileTest, FilesResourcesAndURLs) {
    write("feed one.xml", "<rss><item>x</item></rss>");
    const auto packed = NSDataAdditions::gzipDeflate(std::vector<std::uint8_t>{'<', 'g', '/', '>'});
    ASSERT_TRUE(packed);
    write("packed.xml.gz", std::string_view(reinterpret_cast<const char*>(packed->data()), packed->size()));
    write("bad.xml", "<a>\xFF</a>");

    EXPECT_EQ(name(T::treeWithXMLFile("feed one.xml")->rootXMLElement()), "rss");
    EXPECT_EQ(name(T::treeWithXMLFile("feed one", "xml")->rootXMLElement()), "rss");
    EXPECT_EQ(name(T::treeWithXMLFile("packed.xml.gz")->rootXMLElement()), "g");
    EXPECT_FALSE(T::treeWithXMLFile("missing.xml")->error().empty());

    const std::string path = (resources.path() / "feed one.xml").string();
    EXPECT_EQ(name(T::treeWithURL(path)->rootXMLElement()), "rss");
    std::string url = "file://";
    for (char c : path)
        url += c == ' ' ? std::string("%20") : std::string(1, c);
    EXPECT_EQ(name(T::treeWithURL(url)->rootXMLElement()), "rss");
    EXPECT_FALSE(T::treeWithURL("https://example.invalid/feed.xml")->error().empty());
    EXPECT_FALSE(T::treeWithURL("file://" + (resources.path() / "bad.xml").string())->error().empty());
    EXPECT_FALSE(T::treeWithURL("file:///no/such/file.xml")->error().empty());
}

} // namespace
