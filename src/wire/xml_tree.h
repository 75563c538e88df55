#pragma once
// A small non-validating XML reader: one pass over a private copy of the document, cutting it up in
// place into element and attribute records whose names, texts and values are NUL-terminated strings
// inside that copy. Entities are left as they stand; CDATA markers are removed. Malformed markup gives
// whatever tree the cutting rules build; only documents past the caps below are refused (empty tree,
// reason in error()). Records and the texts handed out live as long as the reader.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

struct XMLTreeAttribute {
    char* name = nullptr;
    char* value = nullptr;
    XMLTreeAttribute* next = nullptr;
};

struct XMLTreeElement {
    char* name = nullptr;
    char* text = nullptr; // none for self-closing elements and for elements with children
    XMLTreeAttribute* firstAttribute = nullptr;
    XMLTreeElement* parent = nullptr;
    XMLTreeElement* firstChild = nullptr;
    XMLTreeElement* lastChild = nullptr;
    XMLTreeElement* nextSibling = nullptr;
    XMLTreeElement* previousSibling = nullptr;
};

class XMLTree {
public:
    // Largest document taken (the login snapshot inflates to at most this much as well).
    static constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;
    // Deepest element nesting; the tree's users walk it recursively.
    static constexpr int kMaxDepth = 256;
    // Most element and attribute records one document may create.
    static constexpr std::size_t kMaxElements = std::size_t{1} << 22;
    static constexpr std::size_t kMaxAttributes = std::size_t{1} << 22;
    // Records are allocated this many at a time.
    static constexpr std::size_t kRecordsPerBuffer = 100;

    struct Limits {
        std::size_t maxDocumentBytes = kMaxDocumentBytes;
        int maxDepth = kMaxDepth;
        std::size_t maxElements = kMaxElements;
        std::size_t maxAttributes = kMaxAttributes;
    };

    // An empty reader: no root, no records, no bytes.
    XMLTree();
    explicit XMLTree(const Limits& limits);
    ~XMLTree();
    XMLTree(XMLTree&&) noexcept;
    XMLTree& operator=(XMLTree&&) noexcept;
    XMLTree(const XMLTree&) = delete;
    XMLTree& operator=(const XMLTree&) = delete;

    // Each parses at once. A refused or unreadable document leaves an empty tree and a reason in error().
    static std::unique_ptr<XMLTree> treeWithXMLString(std::string_view text);
    static std::unique_ptr<XMLTree> treeWithXMLData(std::span<const std::uint8_t> data);
    // Only local files ("file:" URLs or plain paths); the content must be UTF-8 text.
    static std::unique_ptr<XMLTree> treeWithURL(std::string_view url);
    // A resource of the application bundle, "name.ext"; a "gz" resource is inflated.
    static std::unique_ptr<XMLTree> treeWithXMLFile(std::string_view nameWithExtension);
    static std::unique_ptr<XMLTree> treeWithXMLFile(std::string_view name, std::string_view extension);

    // The same on an existing reader, replacing whatever it held; false when the document was refused.
    bool initWithXMLString(std::string_view text);
    bool initWithXMLData(std::span<const std::uint8_t> data);
    bool initWithURL(std::string_view url);
    bool initWithXMLFile(std::string_view nameWithExtension);
    bool initWithXMLFile(std::string_view name, std::string_view extension);

    // The document element (the first element record made); nullptr for an empty or refused document.
    const XMLTreeElement* rootXMLElement() const { return rootXMLElement_; }
    // Why the last document was refused; "" when it was parsed.
    const std::string& error() const { return error_; }

    std::size_t elementCount() const { return elementCount_; }
    std::size_t attributeCount() const { return attributeCount_; }
    std::size_t elementBufferCount() const { return elementBuffers_.size(); }
    std::size_t attributeBufferCount() const { return attributeBuffers_.size(); }

    // Views into the reader's copy. "" for a missing record or string; nullopt when the bytes are not
    // valid UTF-8.
    static std::optional<std::string_view> elementName(const XMLTreeElement* element);
    static std::optional<std::string_view> textForElement(const XMLTreeElement* element);
    static std::optional<std::string_view> attributeName(const XMLTreeAttribute* attribute);
    static std::optional<std::string_view> attributeValue(const XMLTreeAttribute* attribute);
    // The value of the element's first attribute named exactly so; nullopt when none (or not UTF-8).
    static std::optional<std::string_view> valueOfAttributeNamed(std::string_view name,
                                                                 const XMLTreeElement* element);
    // The first child, or the first later sibling, named exactly so; nullptr when none.
    static const XMLTreeElement* childElementNamed(std::string_view name, const XMLTreeElement* parent);
    static const XMLTreeElement* nextSiblingNamed(std::string_view name, const XMLTreeElement* from);

private:
    void clear();
    bool refuse(std::string reason);
    bool decodeBytes(const char* data, std::size_t length);
    bool parse();
    bool readAttributes(XMLTreeElement* element, char* p, char* tagEnd);
    XMLTreeElement* nextAvailableElement();
    XMLTreeAttribute* nextAvailableAttribute();

    std::unique_ptr<char[]> bytes_;
    std::size_t bytesLength_ = 0;
    XMLTreeElement* rootXMLElement_ = nullptr;
    std::vector<std::unique_ptr<XMLTreeElement[]>> elementBuffers_;
    std::vector<std::unique_ptr<XMLTreeAttribute[]>> attributeBuffers_;
    std::size_t elementCount_ = 0;
    std::size_t attributeCount_ = 0;
    std::string error_;
    Limits limits_;
};

} // namespace tc
