#pragma once
// Texts typed or pasted into fields that go onto the wire (names, addresses, passwords, messages),
// free of Qt. One check for every such field: a character the wire cannot carry, or one the trader
// cannot see (a control character comes in with a paste and shows as a blank), refuses the text, and
// so does a text past its field's limit. Nothing is cut or cleaned behind the trader's back; the
// fields take what is pasted whole and the window says why it cannot be sent.
#include "gui/controls/refusal.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace tc::gui {

// Longest password of every password field: the login, the lock, the password change. The wire
// carries far more (a message body holds megabytes); one limit keeps a password that one field
// takes from being refused by another.
inline constexpr std::size_t kMaxPasswordLength = 256;
// Longest user name, server address, and name of the demo registration.
inline constexpr std::size_t kMaxFormTextLength = 256;
// Longest e-mail address (what an address can be at all).
inline constexpr std::size_t kMaxEmailLength = 254;
// Longest phone number text, separators included.
inline constexpr std::size_t kMaxPhoneLength = 32;
// Longest chat message or support request.
inline constexpr std::size_t kMaxChatTextLength = 4000;

enum class TextFault {
    None,
    Unsendable, // a control character (C0, DEL, C1, line or paragraph separator) or broken UTF-8
    TooLong,    // more characters than the field takes
};

TextFault textEntryFault(std::string_view utf8, std::size_t maxCharacters);

// A field to check: the text key of its name as the window labels it, what it holds, its limit.
struct TypedText {
    std::string_view fieldKey;
    std::string_view text;
    std::size_t maxCharacters = kMaxFormTextLength;
};

// The text that names a fault ({0} the field's name, {1} its limit); empty for None.
std::string_view textFaultKey(TextFault fault);

// Why a field's text cannot be sent: its fault's text naming the field, with the limit of a text
// too long; nullopt when it can.
std::optional<Refusal> textRefusal(const TypedText& field);
// The first field, in the order given, whose text cannot be sent; nullopt when all can.
std::optional<Refusal> firstTextRefusal(std::initializer_list<TypedText> fields);

// A phone number as the demo registration takes it: an optional leading "+", then digits grouped
// by blanks, hyphens, points or brackets, with 6 to 15 digits in all (the most an international
// number has).
bool isPhoneNumber(std::string_view text);

} // namespace tc::gui
