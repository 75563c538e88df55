#include "news/news_feed.h"

#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/xml_tree.h"

#include <vector>

namespace tc::news {

namespace {

constexpr std::string_view kItem = "item";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first thing of an XML document is markup: a declaration, a comment or the root element.
bool startsWithMarkup(std::string_view body) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF")
        body.remove_prefix(3);
    for (char c : body) {
        if (isSpace(c))
            continue;
        return c == '<';
    }
    return false;
}

std::optional<char32_t> characterReference(std::string_view digits) {
    int base = 10;
    if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    char32_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return std::nullopt;
        value = value * static_cast<char32_t>(base) + static_cast<char32_t>(d);
    }
    // NUL, surrogates and values past Unicode name no character.
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return std::nullopt;
    return value;
}

std::optional<std::string_view> namedEntity(std::string_view name) {
    if (name == "amp")
        return "&";
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name == "quot")
        return "\"";
    if (name == "apos")
        return "'";
    return std::nullopt;
}

std::string textOf(const XMLTreeElement* element) {
    const std::optional<std::string_view> text = XMLTree::textForElement(element);
    return text ? decodeEntities(*text) : std::string();
}

interfaces::NewsItem itemOf(const XMLTreeElement* item) {
    interfaces::NewsItem out;
    for (const XMLTreeElement* child = item->firstChild; child; child = child->nextSibling) {
        const std::optional<std::string_view> name = XMLTree::elementName(child);
        if (!name)
            continue;
        // A later child of the same name replaces the earlier text.
        if (*name == "title")
            out.title = textOf(child);
        else if (*name == "pubDate")
            out.pubDate = textOf(child);
        else if (*name == "link")
            out.link = textOf(child);
    }
    return out;
}

} // namespace

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t amp = text.find('&', at);
        if (amp == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, amp - at));
        const std::size_t semi = text.find(';', amp + 1);
        // Entity names are short; a lone "&" stays.
        if (semi == std::string_view::npos || semi - amp > 12) {
            out.push_back('&');
            at = amp + 1;
            continue;
        }
        const std::string_view name = text.substr(amp + 1, semi - amp - 1);
        if (!name.empty() && name[0] == '#') {
            if (const std::optional<char32_t> c = characterReference(name.substr(1))) {
                platform::appendUtf8(out, *c);
                at = semi + 1;
                continue;
            }
        } else if (const std::optional<std::string_view> named = namedEntity(name)) {
            out.append(*named);
            at = semi + 1;
            continue;
        }
        out.push_back('&');
        at = amp + 1;
    }
    return out;
}

FeedResult readNewsFeed(std::string_view body) {
    constexpr std::string_view kNotXml = "93363";
    FeedResult result;
    if (body.size() > kMaxFeedBytes) {
        result.error = "93361"; // larger than 8 MiB
        return result;
    }
    if (!platform::isValidUtf8(body)) {
        result.error = "93362"; // not UTF-8
        return result;
    }
    if (!startsWithMarkup(body)) {
        result.error = kNotXml;
        return result;
    }
    const std::unique_ptr<XMLTree> tree = XMLTree::treeWithXMLString(body);
    if (!tree->error().empty()) {
        platform::Log::warning("news feed not read: {}", tree->error());
        result.error = kNotXml;
        return result;
    }
    const XMLTreeElement* root = tree->rootXMLElement();
    if (!root) {
        result.error = kNotXml;
        return result;
    }
    // Depth first in document order, kept on a stack of the siblings still to visit.
    std::vector<const XMLTreeElement*> pending{root};
    while (!pending.empty()) {
        const XMLTreeElement* element = pending.back();
        pending.pop_back();
        if (element->nextSibling)
            pending.push_back(element->nextSibling);
        if (XMLTree::elementName(element) == kItem)
            result.items.push_back(itemOf(element));
        if (element->firstChild)
            pending.push_back(element->firstChild);
    }
    return result;
}

} // namespace tc::news
