#pragma once
// An event-driven XML reader for response bodies, and a document tree built on it. Non-validating:
// it checks well-formedness, decodes the predefined and numeric character references, and never expands
// entities declared in a document type (so a body cannot blow up in memory). Deeply nested or oversized
// documents are refused with an error.
#include "http/http_types.h"

#include <string>
#include <utility>
#include <vector>

namespace tc::http {

inline constexpr char kXMLParserErrorDomain[] = "com.tradeclient.error.xml";

using XMLAttributes = std::vector<std::pair<std::string, std::string>>;

class XMLParserDelegate {
public:
    virtual ~XMLParserDelegate() = default;
    virtual void parserDidStartDocument() {}
    virtual void parserDidEndDocument() {}
    virtual void didStartElement(const std::string& /*name*/, const XMLAttributes& /*attributes*/) {}
    virtual void didEndElement(const std::string& /*name*/) {}
    // Text between markup, references decoded; may arrive in several pieces.
    virtual void foundCharacters(const std::string& /*text*/) {}
    virtual void foundCDATA(const std::string& /*text*/) {}
    virtual void foundComment(const std::string& /*text*/) {}
    virtual void foundProcessingInstruction(const std::string& /*target*/, const std::string& /*data*/) {}
    virtual void parseErrorOccurred(const Error& /*error*/) {}
};

class XMLParser {
public:
    struct Limits {
        int maxDepth = 256;
        std::size_t maxAttributesPerElement = 1024;
        std::size_t maxBytes = std::size_t{64} << 20;
    };

    explicit XMLParser(Bytes data) : data_(std::move(data)) {}
    XMLParser(Bytes data, Limits limits) : data_(std::move(data)), limits_(limits) {}
    void setDelegate(XMLParserDelegate* delegate) { delegate_ = delegate; }
    // Runs the whole document through the delegate; false with parserError() set when it is malformed.
    bool parse();
    void abortParsing() { aborted_ = true; }
    const std::optional<Error>& parserError() const { return error_; }
    const Bytes& data() const { return data_; }
    std::size_t lineNumber() const { return line_; }

private:
    struct Failure {};
    [[noreturn]] void fail(std::string_view what);
    bool atEnd() const { return pos_ >= text_.size(); }
    bool lookingAt(std::string_view s) const { return text_.compare(pos_, s.size(), s) == 0; }
    void advance(std::size_t n);
    void skipSpace();
    std::string readName();
    std::string readUntil(std::string_view terminator, std::string_view what);
    std::string decodeReferences(std::string_view raw);
    void parseMisc(bool prolog);
    void parseElement(int depth);
    void parseContent(int depth, const std::string& name);

    Bytes data_;
    Limits limits_;
    XMLParserDelegate* delegate_ = nullptr;
    std::string text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    bool aborted_ = false;
    std::optional<Error> error_;
};

// A document: elements with attributes, text and child elements, in document order.
struct XMLNode {
    enum class Kind { Element, Text };
    Kind kind = Kind::Element;
    std::string name; // elements
    XMLAttributes attributes;
    std::string text; // text nodes (CDATA included)
    std::vector<XMLNode> children;

    // The text of this node and everything below it.
    std::string stringValue() const;
    std::vector<const XMLNode*> elementsForName(std::string_view name) const;
    std::optional<std::string> attribute(std::string_view name) const;
    friend bool operator==(const XMLNode&, const XMLNode&) = default;
};

class XMLDocument {
public:
    // nullopt with `error` for a malformed document. `options` are kept, not interpreted.
    static std::optional<XMLDocument> fromData(const Bytes& data, unsigned options, Error* error);
    const XMLNode& rootElement() const { return root_; }
    unsigned options() const { return options_; }
    // The document as text (UTF-8, references escaped); reading it back gives an equal tree.
    std::string xmlString() const;

private:
    XMLNode root_;
    unsigned options_ = 0;
};

} // namespace tc::http
