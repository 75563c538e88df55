#include "session/business/message_rooms.h"

#include "wire/message_cracker.h"

#include <stdexcept>
#include <utility>

namespace tc {

const std::optional<std::string>& RoomMessage::value(int tag) const {
    static const std::optional<std::string> none;
    for (std::size_t i = 0; i < room_.tags.size() && i < values_.size(); ++i)
        if (room_.tags[i] == tag)
            return values_[i];
    return none;
}

std::int64_t RoomMessage::integer(int tag, std::int64_t absent) const {
    const std::optional<std::string>& v = value(tag);
    return v ? MessageCracker::integerValue(*v) : absent;
}

void MessageRooms::enter(std::int64_t type, MessageRoom room) {
    if (!rooms_.emplace(type, std::move(room)).second)
        throw std::logic_error("message type " + std::to_string(type) + " entered by two rooms");
}

const MessageRoom* MessageRooms::find(std::int64_t type) const {
    const auto it = rooms_.find(type);
    return it == rooms_.end() ? nullptr : &it->second;
}

} // namespace tc
