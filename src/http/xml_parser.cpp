#include "http/xml_parser.h"

#include "http/text_encoding.h"
#include "platform/utf8.h"

#include <fmt/format.h>

#include <charconv>
#include <functional>

namespace tc::http {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == ':' || c == '-' || c == '.';
}

bool isNameStart(char c) {
    return isNameChar(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.';
}

// The encoding named in an XML declaration, if any.
std::optional<std::string> declaredEncoding(std::string_view text) {
    if (!text.starts_with("<?xml"))
        return std::nullopt;
    auto end = text.find("?>");
    std::string_view decl = text.substr(0, end);
    auto at = decl.find("encoding");
    if (at == std::string_view::npos)
        return std::nullopt;
    auto quote = decl.find_first_of("\"'", at);
    if (quote == std::string_view::npos)
        return std::nullopt;
    auto close = decl.find(decl[quote], quote + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return std::string(decl.substr(quote + 1, close - quote - 1));
}

} // namespace

void XMLParser::fail(std::string_view what) {
    error_ = Error::make(kXMLParserErrorDomain, 1,
                         fmt::format("The XML document is malformed: {} (line {}).", what, line_));
    throw Failure{};
}

void XMLParser::advance(std::size_t n) {
    for (std::size_t i = 0; i < n && pos_ < text_.size(); ++i, ++pos_)
        if (text_[pos_] == '\n')
            ++line_;
}

void XMLParser::skipSpace() {
    while (!atEnd() && isSpace(text_[pos_]))
        advance(1);
}

std::string XMLParser::readName() {
    if (atEnd() || !isNameStart(text_[pos_]))
        fail("a name was expected");
    std::size_t start = pos_;
    while (!atEnd() && isNameChar(text_[pos_]))
        ++pos_;
    return text_.substr(start, pos_ - start);
}

std::string XMLParser::readUntil(std::string_view terminator, std::string_view what) {
    auto end = text_.find(terminator, pos_);
    if (end == std::string::npos)
        fail(fmt::format("unterminated {}", what));
    std::string s = text_.substr(pos_, end - pos_);
    advance(end - pos_ + terminator.size());
    return s;
}

std::string XMLParser::decodeReferences(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '<')
            fail("'<' inside a value");
        if (c != '&') {
            out += c;
            continue;
        }
        auto semi = raw.find(';', i);
        if (semi == std::string_view::npos || semi - i > 12)
            fail("unterminated reference");
        std::string_view ref = raw.substr(i + 1, semi - i - 1);
        if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "amp")
            out += '&';
        else if (ref == "apos")
            out += '\'';
        else if (ref == "quot")
            out += '"';
        else if (ref.starts_with("#")) {
            bool hex = ref.size() > 1 && (ref[1] == 'x' || ref[1] == 'X');
            std::string_view digits = ref.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || p != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
                (cp < 0x20 && cp != 9 && cp != 10 && cp != 13))
                fail("invalid character reference");
            platform::appendUtf8(out, cp);
        } else
            fail("reference to an undeclared entity");
        i = semi;
    }
    return out;
}

void XMLParser::parseMisc(bool prolog) {
    for (;;) {
        skipSpace();
        if (aborted_ || atEnd())
            return;
        if (lookingAt("<!--")) {
            advance(4);
            std::string c = readUntil("-->", "comment");
            if (delegate_)
                delegate_->foundComment(c);
        } else if (lookingAt("<?")) {
            advance(2);
            std::string target = readName();
            std::string data = readUntil("?>", "processing instruction");
            if (equalsIgnoringCase(target, "xml")) {
                if (!prolog)
                    fail("misplaced XML declaration");
            } else if (delegate_)
                delegate_->foundProcessingInstruction(
                    target, std::string(data.substr(data.find_first_not_of(" \t\r\n") == std::string::npos
                                                        ? data.size()
                                                        : data.find_first_not_of(" \t\r\n"))));
        } else if (prolog && lookingAt("<!DOCTYPE")) {
            // Skipped as a whole, internal subset included; its declarations are never used.
            advance(9);
            int bracket = 0;
            for (;;) {
                if (atEnd())
                    fail("unterminated document type");
                char c = text_[pos_];
                if (c == '"' || c == '\'') {
                    advance(1);
                    readUntil(std::string_view(&c, 1), "document type");
                    continue;
                }
                advance(1);
                if (c == '[')
                    ++bracket;
                else if (c == ']')
                    --bracket;
                else if (c == '>' && bracket <= 0)
                    break;
            }
        } else
            return;
    }
}

void XMLParser::parseElement(int depth) {
    if (depth > limits_.maxDepth)
        fail("elements nest too deeply");
    advance(1); // '<'
    std::string name = readName();
    XMLAttributes attributes;
    for (;;) {
        bool spaced = !atEnd() && isSpace(text_[pos_]);
        skipSpace();
        if (atEnd())
            fail("unterminated start tag");
        if (lookingAt("/>") || lookingAt(">"))
            break;
        if (!spaced)
            fail("attributes must be separated by white space");
        std::string attr = readName();
        skipSpace();
        if (atEnd() || text_[pos_] != '=')
            fail("'=' expected after an attribute name");
        advance(1);
        skipSpace();
        if (atEnd() || (text_[pos_] != '"' && text_[pos_] != '\''))
            fail("a quoted attribute value was expected");
        char quote = text_[pos_];
        advance(1);
        std::string value = decodeReferences(readUntil(std::string_view(&quote, 1), "attribute value"));
        for (const auto& a : attributes)
            if (a.first == attr)
                fail("repeated attribute");
        if (attributes.size() >= limits_.maxAttributesPerElement)
            fail("too many attributes");
        attributes.emplace_back(std::move(attr), std::move(value));
    }
    bool empty = lookingAt("/>");
    advance(empty ? 2 : 1);
    if (delegate_)
        delegate_->didStartElement(name, attributes);
    if (!empty)
        parseContent(depth, name);
    if (delegate_ && !aborted_)
        delegate_->didEndElement(name);
}

void XMLParser::parseContent(int depth, const std::string& name) {
    while (!aborted_) {
        if (atEnd())
            fail(fmt::format("element <{}> is not closed", name));
        if (lookingAt("</")) {
            advance(2);
            std::string closing = readName();
            skipSpace();
            if (atEnd() || text_[pos_] != '>')
                fail("unterminated end tag");
            advance(1);
            if (closing != name)
                fail(fmt::format("</{}> closes <{}>", closing, name));
            return;
        }
        if (lookingAt("<!--")) {
            advance(4);
            std::string c = readUntil("-->", "comment");
            if (delegate_)
                delegate_->foundComment(c);
        } else if (lookingAt("<![CDATA[")) {
            advance(9);
            std::string c = readUntil("]]>", "CDATA section");
            if (delegate_)
                delegate_->foundCDATA(c);
        } else if (lookingAt("<?")) {
            advance(2);
            std::string target = readName();
            if (equalsIgnoringCase(target, "xml"))
                fail("misplaced XML declaration");
            std::string data = readUntil("?>", "processing instruction");
            if (delegate_)
                delegate_->foundProcessingInstruction(target, data);
        } else if (lookingAt("<!")) {
            fail("unexpected markup declaration");
        } else if (lookingAt("<")) {
            parseElement(depth + 1);
        } else {
            auto next = text_.find('<', pos_);
            if (next == std::string::npos)
                next = text_.size();
            std::string_view raw(text_.data() + pos_, next - pos_);
            if (raw.find("]]>") != std::string_view::npos)
                fail("']]>' in text");
            std::string decoded = decodeReferences(raw);
            advance(next - pos_);
            if (delegate_)
                delegate_->foundCharacters(decoded);
        }
    }
}

bool XMLParser::parse() {
    error_.reset();
    aborted_ = false;
    pos_ = 0;
    line_ = 1;
    try {
        if (data_.size() > limits_.maxBytes)
            fail("the document is larger than the limit");
        std::string_view raw = asText(data_);
        std::optional<std::string> decoded;
        if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF"))
            decoded = decodeText(raw, StringEncoding::UTF16);
        else if (auto name = declaredEncoding(raw); name && !equalsIgnoringCase(*name, "utf-8")) {
            auto enc = encodingForIANACharsetName(*name);
            if (!enc)
                fail(fmt::format("unsupported encoding \"{}\"", *name));
            decoded = decodeText(raw, *enc);
        } else
            decoded = decodeText(raw, StringEncoding::UTF8);
        if (!decoded)
            fail("the bytes do not match the document's text encoding");
        text_ = std::move(*decoded);
        for (unsigned char c : text_)
            if (c < 0x20 && c != 9 && c != 10 && c != 13)
                fail("a control character in the document");
        if (delegate_)
            delegate_->parserDidStartDocument();
        parseMisc(true);
        if (aborted_)
            return false;
        if (atEnd() || text_[pos_] != '<')
            fail("no root element");
        parseElement(1);
        parseMisc(false);
        if (!aborted_ && !atEnd())
            fail("content after the root element");
        if (aborted_) {
            error_ = Error::make(kXMLParserErrorDomain, 512, "XML parsing was aborted.");
            return false;
        }
        if (delegate_)
            delegate_->parserDidEndDocument();
        return true;
    } catch (const Failure&) {
        if (delegate_)
            delegate_->parseErrorOccurred(*error_);
        return false;
    }
}

// ---- documents

std::string XMLNode::stringValue() const {
    if (kind == Kind::Text)
        return text;
    std::string s;
    for (const auto& c : children)
        s += c.stringValue();
    return s;
}

std::vector<const XMLNode*> XMLNode::elementsForName(std::string_view n) const {
    std::vector<const XMLNode*> out;
    for (const auto& c : children)
        if (c.kind == Kind::Element && c.name == n)
            out.push_back(&c);
    return out;
}

std::optional<std::string> XMLNode::attribute(std::string_view n) const {
    for (const auto& [k, v] : attributes)
        if (k == n)
            return v;
    return std::nullopt;
}

namespace {

class TreeBuilder final : public XMLParserDelegate {
public:
    XMLNode root;
    std::vector<XMLNode*> stack;
    void didStartElement(const std::string& name, const XMLAttributes& attributes) override {
        XMLNode node;
        node.name = name;
        node.attributes = attributes;
        if (stack.empty()) {
            root = std::move(node);
            stack.push_back(&root);
        } else {
            stack.back()->children.push_back(std::move(node));
            stack.push_back(&stack.back()->children.back());
        }
    }
    void didEndElement(const std::string&) override { stack.pop_back(); }
    void addText(const std::string& t) {
        if (stack.empty() || t.empty())
            return;
        auto& kids = stack.back()->children;
        if (!kids.empty() && kids.back().kind == XMLNode::Kind::Text)
            kids.back().text += t;
        else {
            XMLNode node;
            node.kind = XMLNode::Kind::Text;
            node.text = t;
            kids.push_back(std::move(node));
        }
    }
    void foundCharacters(const std::string& t) override { addText(t); }
    void foundCDATA(const std::string& t) override { addText(t); }
};

void escapeInto(std::string& out, std::string_view s, bool attribute) {
    for (char c : s) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        default:
            out += c;
        }
    }
}

void writeNode(std::string& out, const XMLNode& node) {
    if (node.kind == XMLNode::Kind::Text) {
        escapeInto(out, node.text, false);
        return;
    }
    out += '<';
    out += node.name;
    for (const auto& [k, v] : node.attributes) {
        out += ' ';
        out += k;
        out += "=\"";
        escapeInto(out, v, true);
        out += '"';
    }
    if (node.children.empty()) {
        out += "/>";
        return;
    }
    out += '>';
    for (const auto& c : node.children)
        writeNode(out, c);
    out += "</";
    out += node.name;
    out += '>';
}

} // namespace

std::optional<XMLDocument> XMLDocument::fromData(const Bytes& data, unsigned options, Error* error) {
    XMLParser parser(data);
    TreeBuilder builder;
    parser.setDelegate(&builder);
    if (!parser.parse()) {
        if (error && parser.parserError())
            *error = *parser.parserError();
        return std::nullopt;
    }
    XMLDocument doc;
    doc.root_ = std::move(builder.root);
    doc.options_ = options;
    return doc;
}

std::string XMLDocument::xmlString() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    writeNode(out, root_);
    return out;
}

} // namespace tc::http
