#pragma once
// Stateless helpers that cut values out of message texts and strip markup from reply texts.
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class MessageCracker {
public:
    // The text after the first occurrence of the separator, to the end of the text; nothing (and a
    // debug line) when the separator does not occur. Pass a field and its "<tag>=" prefix, or a field
    // and "=". The result points into the text, so a temporary string is refused.
    static std::optional<std::string_view> GetMessageValue(std::string_view text, std::string_view separator);
    template <typename S>
    requires std::same_as<S, std::string>
    static std::optional<std::string_view> GetMessageValue(S&& text, std::string_view separator) = delete;

    // Between '<Name>' and its '</Name>'; empty when either is missing or they are out of order.
    static std::string GetXML(std::string_view text, std::string_view openingTag);

    // From the first start text (included) to the first end text after it (excluded).
    // Throws std::out_of_range when either is missing.
    static std::string stringBetweenString(std::string_view text, std::string_view start,
                                           std::string_view end);

    // The text's head tag (up to and including the first '>') followed by "<END>"; a text without '>'
    // gives "<END>" alone. The record list is always empty, so the count is not used.
    static std::string GetRequiredChartData(std::string_view text, std::int32_t noOfDataRequired);

    // Leading integer of a text (blanks, optional sign, digits), saturated; 0 when there is none.
    static std::int64_t integerValue(std::string_view text) noexcept;
};

class MessageChecker {
public:
    // Deletes every markup tag; a tag found once is deleted wherever it occurs in the text.
    static std::string removeTags(std::string_view text);
    // Replaces every markup tag with one space, with the same reach as removeTags.
    static std::string flattenHTML(std::string_view text);
    // The opening tag of the text (up to and including the first '>'), or empty when the text starts
    // with '>' or with its own closing tag. Throws std::out_of_range for a text without '>'.
    static std::string CheckMessage(std::string_view text);
};

} // namespace tc
