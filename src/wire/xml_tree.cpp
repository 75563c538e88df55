#include "wire/xml_tree.h"

#include "platform/bundle.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/data_additions.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

namespace tc {

namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Every scan below is bounded by an explicit end: the document may hold NULs of its own and may be cut
// anywhere, so the terminating NUL is never relied on to stop a search.
bool startsWith(const char* p, const char* end, std::string_view s) {
    return static_cast<std::size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
}

char* find(char* p, char* end, std::string_view s) {
    if (p >= end)
        return nullptr;
    void* hit = ::memmem(p, static_cast<std::size_t>(end - p), s.data(), s.size());
    return static_cast<char*>(hit);
}

char* findByte(char* p, char* end, char c) {
    if (p >= end)
        return nullptr;
    return static_cast<char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}

// The tag's end: the next '<' or '>' after p, passing over CDATA sections; nullptr when the document ends
// first.
char* findTagEnd(char* p, char* end) {
    for (; p < end; ++p) {
        if (*p == '>')
            return p;
        if (*p == '<') {
            if (!startsWith(p, end, kCdataOpen))
                return p;
            char* close = find(p + kCdataOpen.size(), end, kCdataClose);
            if (!close)
                return nullptr;
            p = close + kCdataClose.size() - 1;
        }
    }
    return nullptr;
}

// Unwraps a run of CDATA sections in text starting at p: markers and the comments between sections go,
// contents and the text between them close up, and spaces fill the gap before the next tag (trimming
// removes them). Doing the whole run at once keeps many sections in one text linear. Returns the next
// tag's '<', nullptr when the document ends (a section without its close takes the rest of the
// document as content).
char* unwrapCdataRun(char* p, char* end) {
    char* w = p;
    char* r = p;
    for (;;) {
        char* content = r + kCdataOpen.size();
        char* close = find(content, end, kCdataClose);
        if (!close) {
            std::memmove(w, content, static_cast<std::size_t>(end - content));
            w += end - content;
            std::memset(w, 0, static_cast<std::size_t>(end - w));
            return nullptr;
        }
        std::memmove(w, content, static_cast<std::size_t>(close - content));
        w += close - content;
        r = close + kCdataClose.size();
        char* lt = nullptr;
        for (;;) {
            lt = findByte(r, end, '<');
            char* stop = lt ? lt : end;
            std::memmove(w, r, static_cast<std::size_t>(stop - r));
            w += stop - r;
            r = stop;
            if (!lt || !startsWith(lt, end, kCommentOpen))
                break;
            // A comment behind a section is left out, so the filler never lands inside the text; one never
            // closed is text up to the end, as anywhere else.
            char* commentEnd = find(lt + kCommentOpen.size(), end, kCommentClose);
            if (!commentEnd) {
                std::memmove(w, lt, static_cast<std::size_t>(end - lt));
                w += end - lt;
                std::memset(w, 0, static_cast<std::size_t>(end - w));
                return nullptr;
            }
            r = commentEnd + kCommentClose.size();
        }
        if (lt && startsWith(lt, end, kCdataOpen))
            continue;
        std::memset(w, ' ', static_cast<std::size_t>(r - w));
        return lt;
    }
}

// Removes CDATA markers inside an attribute value [p, end), keeping their contents; NUL-terminates.
void unwrapCdataInValue(char* p, char* end) {
    char* lt = findByte(p, end, '<');
    if (!lt)
        return;
    char* w = lt;
    char* r = lt;
    while (r < end) {
        if (*r == '<' && startsWith(r, end, kCdataOpen)) {
            char* content = r + kCdataOpen.size();
            if (char* close = find(content, end, kCdataClose)) {
                std::memmove(w, content, static_cast<std::size_t>(close - content));
                w += close - content;
                r = close + kCdataClose.size();
                continue;
            }
        }
        *w++ = *r++;
    }
    std::memset(w, 0, static_cast<std::size_t>(end - w));
}

void trimText(XMLTreeElement* element) {
    char* t = element->text;
    while (isSpace(*t))
        ++t;
    char* e = t + std::strlen(t);
    while (e > t && isSpace(e[-1]))
        *--e = '\0';
    element->text = t;
}

std::optional<std::string_view> checkedView(const char* s) {
    if (!s)
        return std::string_view();
    std::string_view v(s);
    if (!platform::isValidUtf8(v))
        return std::nullopt;
    return v;
}

std::optional<std::vector<char>> readLocalFile(const std::string& path, std::size_t maxBytes,
                                               std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open file";
        return std::nullopt;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        error = "cannot read file";
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(size) > maxBytes) {
        error = fmt::format("document larger than {} bytes", maxBytes);
        return std::nullopt;
    }
    std::vector<char> data(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(data.data(), size)) {
        error = "cannot read file";
        return std::nullopt;
    }
    return data;
}

// The local path of a "file:" URL (or a plain path); nullopt for any other scheme or a bad escape.
std::optional<std::string> localPathOfURL(std::string_view url) {
    constexpr std::string_view scheme = "file:";
    if (url.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), url.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        })) {
        url.remove_prefix(scheme.size());
        if (url.substr(0, 2) == "//") {
            url.remove_prefix(2);
            const std::size_t slash = url.find('/');
            const std::string_view host = url.substr(0, slash);
            if (slash == std::string_view::npos || (!host.empty() && host != "localhost"))
                return std::nullopt;
            url.remove_prefix(slash);
        }
    } else if (url.find("://") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string path;
    path.reserve(url.size());
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '%') {
            path += url[i];
            continue;
        }
        if (i + 2 >= url.size() || platform::hexDigitValue(url[i + 1]) < 0 ||
            platform::hexDigitValue(url[i + 2]) < 0)
            return std::nullopt;
        path +=
            static_cast<char>(platform::hexDigitValue(url[i + 1]) * 16 + platform::hexDigitValue(url[i + 2]));
        i += 2;
    }
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

} // namespace

XMLTree::XMLTree() = default;
XMLTree::XMLTree(const Limits& limits) : limits_(limits) {}
XMLTree::~XMLTree() = default;
XMLTree::XMLTree(XMLTree&&) noexcept = default;
XMLTree& XMLTree::operator=(XMLTree&&) noexcept = default;

void XMLTree::clear() {
    rootXMLElement_ = nullptr;
    elementBuffers_.clear();
    attributeBuffers_.clear();
    elementCount_ = 0;
    attributeCount_ = 0;
    bytes_.reset();
    bytesLength_ = 0;
    error_.clear();
}

bool XMLTree::refuse(std::string reason) {
    clear();
    platform::Log::warning("XML document refused: {}", reason);
    error_ = std::move(reason);
    return false;
}

std::unique_ptr<XMLTree> XMLTree::treeWithXMLString(std::string_view text) {
    auto tree = std::make_unique<XMLTree>();
    tree->initWithXMLString(text);
    return tree;
}

std::unique_ptr<XMLTree> XMLTree::treeWithXMLData(std::span<const std::uint8_t> data) {
    auto tree = std::make_unique<XMLTree>();
    tree->initWithXMLData(data);
    return tree;
}

std::unique_ptr<XMLTree> XMLTree::treeWithURL(std::string_view url) {
    auto tree = std::make_unique<XMLTree>();
    tree->initWithURL(url);
    return tree;
}

std::unique_ptr<XMLTree> XMLTree::treeWithXMLFile(std::string_view nameWithExtension) {
    auto tree = std::make_unique<XMLTree>();
    tree->initWithXMLFile(nameWithExtension);
    return tree;
}

std::unique_ptr<XMLTree> XMLTree::treeWithXMLFile(std::string_view name, std::string_view extension) {
    auto tree = std::make_unique<XMLTree>();
    tree->initWithXMLFile(name, extension);
    return tree;
}

bool XMLTree::initWithXMLString(std::string_view text) {
    return decodeBytes(text.data(), text.size());
}

bool XMLTree::initWithXMLData(std::span<const std::uint8_t> data) {
    return decodeBytes(reinterpret_cast<const char*>(data.data()), data.size());
}

bool XMLTree::initWithURL(std::string_view url) {
    const auto path = localPathOfURL(url);
    if (!path)
        return refuse("only local file URLs are read");
    std::string why;
    const auto data = readLocalFile(*path, limits_.maxDocumentBytes, why);
    if (!data)
        return refuse(why);
    if (!platform::isValidUtf8(std::string_view(data->data(), data->size())))
        return refuse("file is not UTF-8 text");
    return decodeBytes(data->data(), data->size());
}

bool XMLTree::initWithXMLFile(std::string_view nameWithExtension) {
    const std::size_t dot = nameWithExtension.rfind('.');
    if (dot == std::string_view::npos)
        return initWithXMLFile(nameWithExtension, {});
    return initWithXMLFile(nameWithExtension.substr(0, dot), nameWithExtension.substr(dot + 1));
}

bool XMLTree::initWithXMLFile(std::string_view name, std::string_view extension) {
    const auto path = platform::Bundle::pathForResource(name, extension);
    if (!path)
        return refuse("resource not found");
    const auto data = NSDataAdditions::dataWithUncompressedContentsOfFile(*path);
    if (!data)
        return refuse("resource cannot be read");
    return decodeBytes(reinterpret_cast<const char*>(data->data()), data->size());
}

bool XMLTree::decodeBytes(const char* data, std::size_t length) {
    clear();
    if (length > limits_.maxDocumentBytes)
        return refuse(fmt::format("document larger than {} bytes", limits_.maxDocumentBytes));
    bytes_ = std::make_unique_for_overwrite<char[]>(length + 1);
    if (length > 0)
        std::memcpy(bytes_.get(), data, length);
    bytes_[length] = '\0';
    bytesLength_ = length;
    return parse();
}

XMLTreeElement* XMLTree::nextAvailableElement() {
    const std::size_t index = elementCount_ % kRecordsPerBuffer;
    if (index == 0)
        elementBuffers_.push_back(std::make_unique<XMLTreeElement[]>(kRecordsPerBuffer));
    ++elementCount_;
    XMLTreeElement* record = &elementBuffers_.back()[index];
    if (!rootXMLElement_)
        rootXMLElement_ = record;
    return record;
}

XMLTreeAttribute* XMLTree::nextAvailableAttribute() {
    const std::size_t index = attributeCount_ % kRecordsPerBuffer;
    if (index == 0)
        attributeBuffers_.push_back(std::make_unique<XMLTreeAttribute[]>(kRecordsPerBuffer));
    ++attributeCount_;
    return &attributeBuffers_.back()[index];
}

bool XMLTree::parse() {
    char* const begin = bytes_.get();
    char* const end = begin + bytesLength_;
    XMLTreeElement* parent = nullptr;
    int depth = 0; // nesting level of `parent`

    char* cur = findByte(begin, end, '<');
    while (cur) {
        if (startsWith(cur, end, kCommentOpen)) {
            char* close = find(cur + kCommentOpen.size(), end, kCommentClose);
            if (!close)
                break;
            cur = findByte(close + kCommentClose.size(), end, '<');
            continue;
        }
        if (startsWith(cur, end, kCdataOpen)) {
            cur = unwrapCdataRun(cur, end);
            continue;
        }
        char* const tagEnd = findTagEnd(cur + 1, end);
        if (!tagEnd)
            break; // the document ends inside this tag: it is dropped
        const char second = cur[1];
        const bool selfClosing = tagEnd[-1] == '/';
        *tagEnd = '\0';
        *cur = '\0';

        if (second == '!' || second == '?') {
            // declaration, processing instruction or document type: skipped
        } else if (second == '/') {
            if (parent) {
                if (parent->text)
                    trimText(parent);
                XMLTreeElement* closed = parent;
                parent = parent->parent;
                --depth;
                if (closed->firstChild)
                    closed->text = nullptr;
            }
        } else {
            if (depth + 1 > limits_.maxDepth)
                return refuse(fmt::format("elements nested deeper than {} levels", limits_.maxDepth));
            if (elementCount_ >= limits_.maxElements)
                return refuse(fmt::format("more than {} elements", limits_.maxElements));
            XMLTreeElement* element = nextAvailableElement();
            element->name = cur + 1;
            if (parent) {
                element->parent = parent;
                if (parent->lastChild) {
                    parent->lastChild->nextSibling = element;
                    element->previousSibling = parent->lastChild;
                } else {
                    parent->firstChild = element;
                }
                parent->lastChild = element;
            }
            char* nameEnd = cur + 1;
            while (nameEnd < tagEnd && *nameEnd != ' ' && *nameEnd != '/')
                ++nameEnd;
            if (nameEnd < tagEnd) {
                *nameEnd = '\0';
                if (!readAttributes(element, nameEnd + 1, tagEnd))
                    return false;
            }
            if (!selfClosing) {
                // tagEnd + 1 is at most the terminating NUL
                if (tagEnd[1] != '>')
                    element->text = tagEnd + 1;
                parent = element;
                ++depth;
            }
        }
        cur = findByte(tagEnd + 1, end, '<');
    }
    // Elements left open at the end are closed as if their closing tags stood there, so a cut document
    // gives trimmed texts and no text on elements with children, like a whole one.
    for (; parent; parent = parent->parent) {
        if (parent->text)
            trimText(parent);
        if (parent->firstChild)
            parent->text = nullptr;
    }
    return true;
}

// Runs from behind the element name up to and including the tag end (already a NUL). Only attributes
// with a quoted value are recorded; a value may hold the other quote, and CDATA may hide anything.
bool XMLTree::readAttributes(XMLTreeElement* element, char* p, char* tagEnd) {
    enum class State { NameStart, NameEnd, ValueStart, ValueEnd, CharacterData };
    State state = State::NameStart;
    char* name = nullptr;
    char* value = nullptr;
    char quote = 0;
    XMLTreeAttribute* last = nullptr;
    char* const limit = tagEnd + 1;
    for (; p < limit; ++p) {
        const char c = *p;
        switch (state) {
        case State::NameStart:
            if (!isSpace(c)) {
                name = p;
                state = State::NameEnd;
            }
            break;
        case State::NameEnd:
            if (c == '=' || isSpace(c)) {
                *p = '\0';
                state = State::ValueStart;
            }
            break;
        case State::ValueStart:
            if (c == '"' || c == '\'') {
                quote = c;
                value = p + 1;
                state = State::ValueEnd;
            }
            break;
        case State::ValueEnd:
            if (c == '<' && startsWith(p, limit, kCdataOpen)) {
                state = State::CharacterData;
            } else if (c == quote) {
                *p = '\0';
                unwrapCdataInValue(value, p);
                if (attributeCount_ >= limits_.maxAttributes)
                    return refuse(fmt::format("more than {} attributes", limits_.maxAttributes));
                XMLTreeAttribute* attribute = nextAvailableAttribute();
                attribute->name = name;
                attribute->value = value;
                if (last)
                    last->next = attribute;
                else
                    element->firstAttribute = attribute;
                last = attribute;
                state = State::NameStart;
            }
            break;
        case State::CharacterData:
            if (c == ']' && startsWith(p, limit, kCdataClose))
                state = State::ValueEnd;
            break;
        }
    }
    return true;
}

std::optional<std::string_view> XMLTree::elementName(const XMLTreeElement* element) {
    return checkedView(element ? element->name : nullptr);
}

std::optional<std::string_view> XMLTree::textForElement(const XMLTreeElement* element) {
    return checkedView(element ? element->text : nullptr);
}

std::optional<std::string_view> XMLTree::attributeName(const XMLTreeAttribute* attribute) {
    return checkedView(attribute ? attribute->name : nullptr);
}

std::optional<std::string_view> XMLTree::attributeValue(const XMLTreeAttribute* attribute) {
    return checkedView(attribute ? attribute->value : nullptr);
}

std::optional<std::string_view> XMLTree::valueOfAttributeNamed(std::string_view name,
                                                               const XMLTreeElement* element) {
    if (!element)
        return std::nullopt;
    for (const XMLTreeAttribute* a = element->firstAttribute; a; a = a->next) {
        if (a->name && std::string_view(a->name) == name)
            return checkedView(a->value);
    }
    return std::nullopt;
}

const XMLTreeElement* XMLTree::childElementNamed(std::string_view name, const XMLTreeElement* parent) {
    if (!parent)
        return nullptr;
    for (const XMLTreeElement* e = parent->firstChild; e; e = e->nextSibling) {
        if (e->name && std::string_view(e->name) == name)
            return e;
    }
    return nullptr;
}

const XMLTreeElement* XMLTree::nextSiblingNamed(std::string_view name, const XMLTreeElement* from) {
    if (!from)
        return nullptr;
    for (const XMLTreeElement* e = from->nextSibling; e; e = e->nextSibling) {
        if (e->name && std::string_view(e->name) == name)
            return e;
    }
    return nullptr;
}

} // namespace tc
