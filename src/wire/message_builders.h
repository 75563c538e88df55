#pragma once
// The outgoing message layouts: for every message type (and sub-type) the fixed list of tags its
// builder writes, and where the framed text goes. Composing is kept apart from sending so a message
// can be checked without a transport; MessageBase::BuildMessage composes and then routes.
#include "wire/message_base.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tc {

// Where a built message goes.
enum class BuildPath : std::uint8_t {
    Stream,        // TCP stream, inside the envelope sealed with the session key
    StreamInitial, // TCP stream, inside the initial envelope (before login has completed)
    RequestSocket, // plain, to the data-service request socket
};

// Which field of MessageBase picks among the layouts of one type.
enum class SubtypeField : std::uint8_t { None, NewOrder, EditOrder, DataService };

// Something a builder does besides writing its tags.
enum class BuildHook : std::uint8_t {
    None,
    PingSent, // tell the sender once the ping has been handed over, so the reply can be timed
};

inline constexpr std::size_t kMaxLayoutTags = 25;

struct TagList {
    std::array<std::uint16_t, kMaxLayoutTags> tag{};
    std::uint8_t count = 0;

    constexpr std::span<const std::uint16_t> view() const noexcept { return {tag.data(), count}; }
};

// A tag list written in emission order; too many tags fails to compile.
template <typename... T>
consteval TagList tags(T... t) {
    static_assert(sizeof...(T) <= kMaxLayoutTags, "layout longer than kMaxLayoutTags");
    return TagList{{static_cast<std::uint16_t>(t)...}, static_cast<std::uint8_t>(sizeof...(T))};
}

// Bit n set: sub-type n selects the layout.
consteval std::uint16_t subtypes(std::initializer_list<int> values) {
    std::uint16_t mask = 0;
    for (int v : values)
        mask = static_cast<std::uint16_t>(mask | (1u << v));
    return mask;
}

struct MessageLayout {
    std::int64_t type = 0;
    SubtypeField subtypeField = SubtypeField::None;
    std::uint16_t subtypeMask = 0; // ignored when subtypeField is None
    std::string_view builder;      // the builder's name, for logs and tests
    TagList tags;
    BuildPath path = BuildPath::Stream;
    std::int64_t receivingStrategy = 0; // request socket only: 1 when the reply spans several frames
    // The one tag whose value is a nested record text and may hold the record separators
    // 0x05-0x07; 0 when the layout has none.
    std::uint16_t recordTag = 0;
    BuildHook hook = BuildHook::None;

    bool isInitialRequest() const noexcept { return path == BuildPath::StreamInitial; }
    bool isZMQ() const noexcept { return path == BuildPath::RequestSocket; }
};

// Every layout, one row per builder.
std::span<const MessageLayout> messageLayouts() noexcept;

// The layout BuildMessage would use for the message's type and sub-type; null when there is none.
const MessageLayout* findLayout(const MessageBase& message) noexcept;
// The layout of a builder by its name; null when unknown.
const MessageLayout* layoutNamed(std::string_view builder) noexcept;

enum class ComposeStatus : std::uint8_t {
    Built,
    NoLayout,         // unknown type or sub-type: nothing to send
    SeparatorInValue, // a value holds a byte that would cut the frame or its record texts
    InvalidText,      // a value is not well-formed UTF-8, so its length cannot be counted
    TooLong,          // the body would pass kMaxMessageBody
};

// Whether a value goes into a message as it stands (Built), else why not (SeparatorInValue,
// InvalidText); `isRecord` for the layout's record text, which may hold the record separators.
ComposeStatus checkMessageValue(std::string_view value, bool isRecord) noexcept;

// Ceiling on one outgoing body; nothing the client sends comes near it.
inline constexpr std::size_t kMaxMessageBody = 4u << 20;

struct ComposedMessage {
    ComposeStatus status = ComposeStatus::NoLayout;
    const MessageLayout* layout = nullptr;
    std::string framed;           // the whole frame, when Built
    std::uint64_t bodyLength = 0; // in UTF-16 units, as the frame counts it
    int refusedTag = 0;           // the offending tag, for the refusals
};

// Writes the message that BuildMessage would send, without sending it or touching the message.
ComposedMessage composeMessage(const MessageBase& message);
// The same with a given layout, whatever the message's type says.
ComposedMessage composeWithLayout(const MessageBase& message, const MessageLayout& layout);

// Value text written for a listed tag that the dictionary lacks.
inline constexpr std::string_view kMissingValue = "(null)";

} // namespace tc
