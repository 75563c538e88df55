#include "platform/bundle.h"
#include "support/case_table.h"
#include "support/temp_resources.h"
#include "wire/data_additions.h"
#include "wire/xml_tree.h"

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
std::size_t countReachable(const XMLTreeElement* e) {
    std::size_t n = 0;
    for (; e; e = e->nextSibling)
        n += 1 + countReachable(e->firstChild);
    return n;
}

// The tree as "name(attr=value,...)\"text\"{children}", siblings apart by spaces.
std::string dump(const XMLTreeElement* e) {
    std::string out;
    for (; e; e = e->nextSibling) {
        const std::string n = name(e);
        out += (out.empty() ? "" : " ") + (n.empty() ? "?" : n);
        std::string attributes;
        for (const XMLTreeAttribute* a = e->firstAttribute; a; a = a->next)
            attributes += (attributes.empty() ? "" : ",") +
                          std::string(T::attributeName(a).value_or("<nil>")) + "=" +
                          std::string(T::attributeValue(a).value_or("<nil>"));
        if (!attributes.empty())
            out += "(" + attributes + ")";
        if (e->text)
            out += "\"" + text(e) + "\"";
        if (e->firstChild)
            out += "{" + dump(e->firstChild) + "}";
    }
    return out;
}

TEST(XMLTreeTest, DocumentsBuildTheirTrees) {
    for (const auto& row : testing_support::caseTable("tables/xml_trees.txt", 2)) {
        const auto tree = T::treeWithXMLString(row[0]);
        const XMLTreeElement* root = tree->rootXMLElement();
        EXPECT_EQ(root ? dump(root) : "(none)", row[1]) << "line " << row.line << ": " << row[0];
    }
}

TEST(XMLTreeTest, LinksBetweenElementsAndLookups) {
    auto t = T::treeWithXMLString("<a><b>x</b><b>y</b></a>");
    const XMLTreeElement* a = t->rootXMLElement();
    ASSERT_NE(a, nullptr);
    const XMLTreeElement* b1 = a->firstChild;
    ASSERT_NE(b1, nullptr);
    const XMLTreeElement* b2 = b1->nextSibling;
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(b2->previousSibling, b1);
    EXPECT_EQ(a->lastChild, b2);
    EXPECT_EQ(b1->parent, a);
    EXPECT_EQ(T::nextSiblingNamed("b", b1), b2);
    EXPECT_EQ(T::nextSiblingNamed("b", b2), nullptr);
    EXPECT_EQ(T::childElementNamed("b", a), b1);
    EXPECT_EQ(T::childElementNamed("c", a), nullptr);
    EXPECT_TRUE(t->error().empty());
    EXPECT_EQ(T().rootXMLElement(), nullptr);
    // Missing records read as empty.
    EXPECT_EQ(T::elementName(nullptr), "");
    EXPECT_EQ(T::attributeValue(nullptr), "");
    EXPECT_EQ(T::childElementNamed("a", nullptr), nullptr);
    // The attribute lookup takes the first of a name; the count holds all.
    t = T::treeWithXMLString(R"(<a v="1" v="dup"/>)");
    EXPECT_EQ(T::valueOfAttributeNamed("v", t->rootXMLElement()), "1");
    EXPECT_EQ(T::valueOfAttributeNamed("x", t->rootXMLElement()), std::nullopt);
    EXPECT_EQ(t->attributeCount(), 2u);
}

TEST(XMLTreeTest, ManySectionsInOneTextAreEachHandledOnce) {
    std::string doc = "<a>";
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        doc += "<![CDATA[" + std::to_string(i % 10) + "]]>-";
        expected += std::to_string(i % 10) + "-";
    }
    doc += "</a>";
    EXPECT_EQ(text(T::treeWithXMLString(doc)->rootXMLElement()), expected);
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

TEST(XMLTreeTest, EveryPrefixOfADocumentParses) {
    // ASan checks that no byte outside the copy is touched.
    const std::string doc =
        R"(<?xml version="1.0"?><!DOCTYPE r><r a="1" b='"'><!-- c --><x>t &amp; u</x>)"
        R"(<y v="<![CDATA[>"]]>"/><z><![CDATA[1<2]]> tail <![CDATA[]]]]></z><w>  </w><q/></r>)";
    for (std::size_t n = 0; n <= doc.size(); ++n) {
        auto p = T::treeWithXMLString(doc.substr(0, n));
        EXPECT_LE(countReachable(p->rootXMLElement()), 7u) << n;
    }
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

TEST(XMLTreeTest, AMovedReaderKeepsItsTree) {
    auto t = T::treeWithXMLString("<r><a>x</a></r>");
    T moved = std::move(*t);
    t.reset();
    EXPECT_EQ(dump(moved.rootXMLElement()), "r{a\"x\"}");
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
