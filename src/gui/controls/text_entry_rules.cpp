#include "gui/controls/text_entry_rules.h"
#include "gui/texts.h"

#include "platform/utf8.h"

namespace tc::gui {
namespace {

// The wire's own separators are among the C0 controls; the rest, DEL, the C1 controls and the line
// and paragraph separators show as blanks in a field, so the trader never sees what would be sent.
bool isUnseenControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

TextFault textEntryFault(std::string_view utf8, std::size_t maxCharacters) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = platform::decodeUtf8(utf8, at, c);
        if (length == 0 || isUnseenControl(c))
            return TextFault::Unsendable;
        at += length;
        ++characters;
    }
    return characters > maxCharacters ? TextFault::TooLong : TextFault::None;
}

std::optional<Refusal> textRefusal(const TypedText& field) {
    const TextFault fault = textEntryFault(field.text, field.maxCharacters);
    if (fault == TextFault::None)
        return std::nullopt;
    return Refusal{std::string(textFaultKey(fault)),
                   fault == TextFault::TooLong ? std::to_string(field.maxCharacters) : std::string(),
                   std::string(field.fieldKey)};
}

std::optional<Refusal> firstTextRefusal(std::initializer_list<TypedText> fields) {
    for (const TypedText& field : fields)
        if (auto refusal = textRefusal(field))
            return refusal;
    return std::nullopt;
}

std::string_view textFaultKey(TextFault fault) {
    switch (fault) {
    case TextFault::Unsendable:
        return texts::kHoldsCharacterCannotSentControl;
    case TextFault::TooLong:
        return texts::kLongerThanCharacters;
    case TextFault::None:
        break;
    }
    return {};
}

bool isPhoneNumber(std::string_view text) {
    if (text.size() > kMaxPhoneLength)
        return false;
    std::size_t digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '+') {
            // Only before the first digit or separator.
            if (i != 0)
                return false;
        } else if (c != ' ' && c != '-' && c != '.' && c != '(' && c != ')')
            return false;
    }
    return digits >= 6 && digits <= 15;
}

} // namespace tc::gui
