#include "wire/message_cracker.h"

#include "platform/lenient.h"
#include "platform/log.h"

#include <climits>
#include <stdexcept>
#include <unordered_set>
#include <vector>

namespace tc {

std::optional<std::string_view> MessageCracker::GetMessageValue(std::string_view text,
                                                                std::string_view separator) {
    const std::size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
    if (at == std::string_view::npos) {
        platform::Log::debug("GetMessageValue Exception: {}", "separator not found");
        return std::nullopt;
    }
    return text.substr(at + separator.size());
}

std::string MessageCracker::GetXML(std::string_view text, std::string_view openingTag) {
    if (openingTag.empty())
        return {};
    std::string closing = "</";
    closing.append(openingTag.substr(1));
    const std::size_t open = text.find(openingTag);
    const std::size_t close = text.find(closing);
    if (open == std::string_view::npos || close == std::string_view::npos)
        return {};
    const std::size_t from = open + openingTag.size();
    if (close < from)
        return {};
    return std::string(text.substr(from, close - from));
}

std::string MessageCracker::stringBetweenString(std::string_view text, std::string_view start,
                                                std::string_view end) {
    const std::size_t from = text.find(start);
    if (from == std::string_view::npos)
        throw std::out_of_range("stringBetweenString: start text not found");
    const std::size_t to = text.find(end);
    if (to == std::string_view::npos || to < from)
        throw std::out_of_range("stringBetweenString: end text not found after the start text");
    return std::string(text.substr(from, to - from));
}

std::string MessageCracker::GetRequiredChartData(std::string_view text, std::int32_t /*noOfDataRequired*/) {
    const std::size_t gt = text.find('>');
    std::string out(gt == std::string_view::npos ? std::string_view{} : text.substr(0, gt + 1));
    out.append("<END>");
    return out;
}

std::int64_t MessageCracker::integerValue(std::string_view s) noexcept {
    return platform::lenientInteger(s);
}

namespace {

// Tags as a scanner finds them in the original text: from each '<' it reaches up to the next '>'
// (not included); the scan then goes on from that '>'. A '<' without a later '>' ends the scan.
std::vector<std::string_view> scanTags(std::string_view text, bool* nested) {
    std::vector<std::string_view> tags;
    *nested = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos)
            break;
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos)
            break;
        const std::string_view tag = text.substr(lt, gt - lt + 1);
        if (tag.find('<', 1) != std::string_view::npos)
            *nested = true;
        tags.push_back(tag);
        pos = gt;
    }
    return tags;
}

std::string replaceAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t at; (at = text.find(what, pos)) != std::string_view::npos; pos = at + what.size()) {
        out.append(text.substr(pos, at - pos));
        out.append(with);
    }
    out.append(text.substr(pos));
    return out;
}

std::string stripTags(std::string_view text, std::string_view with) {
    bool nested = false;
    const std::vector<std::string_view> tags = scanTags(text, &nested);
    if (!nested) {
        // Without a '<' inside a tag every occurrence of a tag's text is itself a scanned tag, and
        // removing one cannot form a new one, so one pass gives what the global replacements give.
        std::string out;
        out.reserve(text.size());
        std::size_t pos = 0;
        for (std::string_view tag : tags) {
            const std::size_t at = static_cast<std::size_t>(tag.data() - text.data());
            out.append(text.substr(pos, at - pos));
            out.append(with);
            pos = at + tag.size();
        }
        out.append(text.substr(pos));
        return out;
    }
    // Odd markup: each distinct tag replaced everywhere, in scan order, on the text as it stands.
    std::string work(text);
    std::unordered_set<std::string_view> done;
    for (std::string_view tag : tags) {
        if (done.insert(tag).second)
            work = replaceAll(work, tag, with);
    }
    return work;
}

} // namespace

std::string MessageChecker::removeTags(std::string_view text) {
    return stripTags(text, "");
}

std::string MessageChecker::flattenHTML(std::string_view text) {
    return stripTags(text, " ");
}

std::string MessageChecker::CheckMessage(std::string_view text) {
    const std::size_t gt = text.find('>');
    if (gt == std::string_view::npos)
        throw std::out_of_range("CheckMessage: text holds no '>'");
    if (gt == 0)
        return {};
    const std::string_view opening = text.substr(0, gt + 1);
    std::string closing = "</";
    closing.append(opening.substr(1));
    if (text.rfind(closing, 0) == 0)
        return {};
    return std::string(opening);
}

} // namespace tc
