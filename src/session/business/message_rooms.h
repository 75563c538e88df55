#pragma once
// Which room of the session handles each inbound message type. A room (the business object's own
// login road and replies, the feed, the data service, the order side, funding, chat) enters the types
// it handles while the business object is made, each with the tags it reads; the business object cuts
// those tags out on the receiving thread and hands the room its message on the main queue, in the
// message's turn. Nothing is entered once the stream runs, so the receiving threads read the table
// without a lock.
#include "interfaces/tables.h"
#include "model/records/record_layout.h"
#include "platform/clock.h"
#include "wire/message_base.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc {

struct MessageRoom;

// One inbound message as its room reads it.
class RoomMessage {
public:
    RoomMessage(const MessageBase& message, const MessageRoom& room,
                const std::vector<std::optional<std::string>>& values, const std::string& compressedField,
                std::int32_t requestId, platform::Clock::time_point arrivedAt)
        : message_(message), room_(room), values_(values), compressedField_(compressedField),
          requestId_(requestId), arrivedAt_(arrivedAt) {}

    std::int64_t type() const { return message_.messageType(); }
    const MessageBase& message() const { return message_; }
    // The field strings; empty unless the room reads them.
    const std::vector<std::string>& fields() const { return message_.messageArray(); }
    // The last value of a tag the room entered; nullopt when the message has none.
    const std::optional<std::string>& value(int tag) const;
    std::string text(int tag) const { return value(tag).value_or(std::string()); }
    // Read as the message cracker reads numbers; `absent` when the tag is missing.
    std::int64_t integer(int tag, std::int64_t absent = 0) const;
    // Reads the tags the room entered that the message holds through a tag table, in the room's order.
    template <class R, class... Rows>
    void readTagged(const records::RecordLayout<Rows...>& layout, R& out) const;
    // The whole compressed-payload field as received ("1050=<Base64>"), empty when absent.
    const std::string& compressedField() const { return compressedField_; }
    // The session's request number as this message left it (0 on the receiving thread, where the
    // messages before it are not applied yet).
    std::int32_t requestId() const { return requestId_; }
    platform::Clock::time_point arrivedAt() const { return arrivedAt_; }

private:
    const MessageBase& message_;
    const MessageRoom& room_;
    const std::vector<std::optional<std::string>>& values_;
    const std::string& compressedField_;
    std::int32_t requestId_;
    platform::Clock::time_point arrivedAt_;
};

// What the session does with one message type.
struct MessageRoom {
    // Cut out for the room on the receiving thread; a repeated tag keeps its last value.
    std::vector<int> tags;
    // Whether the room reads the field strings (one copy each, so kept only for such rooms).
    bool readsFields = false;
    // Receiving thread, where given: reads the message into a value that shares nothing and returns
    // the step that applies it on the main queue, in place of `apply`.
    std::function<std::function<void()>(const RoomMessage&)> read;
    // Main queue, in the message's turn.
    std::function<void(const RoomMessage&)> apply;
    // Marked changed after the message, also when it did not parse.
    interfaces::TableSet tables;
    // Its apply names every order record it rewrites in place (OrderHost::recordRewritten), so the
    // announcement can say which rows of its tables changed.
    bool namesRows = false;
};

template <class R, class... Rows>
void RoomMessage::readTagged(const records::RecordLayout<Rows...>& layout, R& out) const {
    for (std::size_t i = 0; i < room_.tags.size() && i < values_.size(); ++i) {
        if (!values_[i])
            continue;
        const records::TaggedField field{room_.tags[i], *values_[i]};
        records::readTagged(std::span(&field, 1), layout, out);
    }
}

class MessageRooms {
public:
    // A type entered twice throws std::logic_error: two rooms would each take it for theirs.
    void enter(std::int64_t type, MessageRoom room);
    // The same for a room that does all its work on the main queue.
    void enter(std::int64_t type, std::vector<int> tags, bool readsFields,
               std::function<void(const RoomMessage&)> apply, interfaces::TableSet tables = {}) {
        enter(type, MessageRoom{std::move(tags), readsFields, nullptr, std::move(apply), tables});
    }
    // Null for a type no room handles.
    const MessageRoom* find(std::int64_t type) const;

private:
    std::unordered_map<std::int64_t, MessageRoom> rooms_;
};

// A part of the session that handles messages of its own.
class SessionRoom {
public:
    virtual ~SessionRoom() = default;
    // Enters the types it handles (once, while the business object is made).
    virtual void enterMessages(MessageRooms& /*rooms*/) {}
};

} // namespace tc
