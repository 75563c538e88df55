// Any bytes: the reader must not crash or touch bytes outside its copy, and whatever tree it builds must
// hold together: consistent links, no text on elements with children, nothing deeper than the cap.
#include "fuzz_support.h"
#include "wire/xml_tree.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace {

using namespace tc;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken tree: %s\n", what);
        std::abort();
    }
}

std::size_t walk(const XMLTreeElement* e, const XMLTreeElement* parent, int depth, std::size_t& attributes) {
    std::size_t n = 0;
    const XMLTreeElement* previous = nullptr;
    for (; e; previous = e, e = e->nextSibling) {
        ++n;
        check(depth <= XMLTree::kMaxDepth, "deeper than the cap");
        check(e->parent == parent, "parent link");
        check(e->previousSibling == previous, "previous sibling link");
        check(e->name != nullptr, "element without a name");
        check(!(e->firstChild && e->text), "text on an element with children");
        (void)XMLTree::elementName(e);
        (void)XMLTree::textForElement(e);
        for (const XMLTreeAttribute* a = e->firstAttribute; a; a = a->next) {
            ++attributes;
            check(a->name && a->value, "attribute without name or value");
            (void)XMLTree::attributeValue(a);
        }
        if (auto name = XMLTree::attributeName(e->firstAttribute); name && e->firstAttribute) {
            check(XMLTree::valueOfAttributeNamed(*name, e) == XMLTree::attributeValue(e->firstAttribute),
                  "first attribute not found by its name");
        }
        if (e->firstChild) {
            check(e->lastChild != nullptr && e->lastChild->nextSibling == nullptr, "last child link");
            if (auto name = XMLTree::elementName(e->firstChild))
                check(XMLTree::childElementNamed(*name, e) == e->firstChild, "first child not found by name");
        }
        n += walk(e->firstChild, e, depth + 1, attributes);
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto tree = XMLTree::treeWithXMLData(std::span<const std::uint8_t>(data, size));
    const XMLTreeElement* root = tree->rootXMLElement();
    if (!root) {
        check(tree->elementCount() == 0, "records without a root");
        return 0;
    }
    check(root->parent == nullptr && root->nextSibling == nullptr, "root has relatives");
    std::size_t attributes = 0;
    const std::size_t reachable = walk(root, nullptr, 1, attributes);
    check(reachable <= tree->elementCount(), "more elements reachable than made");
    check(attributes <= tree->attributeCount(), "more attributes reachable than made");
    return 0;
}
