#include "chat/waiting_texts.h"

namespace tc::chat {

ChatSend WaitingTexts::message(const std::string& roomId, const std::string& roomName, std::string text,
                               std::uint64_t ownNumber) {
    ChatSend s;
    s.ownNumber = ownNumber;
    s.kind = ChatSend::Kind::Message;
    s.roomId = roomId;
    s.roomName = roomName;
    s.text = std::move(text);
    return s;
}

WaitingTexts::Outcome WaitingTexts::submit(const std::string& roomKey, std::string text, const Room* room,
                                           std::uint64_t ownNumber) {
    Outcome out;
    if (text.empty()) {
        out.error = "93306"; // Nothing to send.
        return out;
    }
    // A confirmed room takes the text at once, after any text still waiting for it.
    if (room && room->created && !room->roomId.empty() && !room->roomName.empty()) {
        out.sends = roomCreated({roomKey, {}, room->roomId, room->roomName});
        out.sends.push_back(message(room->roomId, room->roomName, std::move(text), ownNumber));
        return out;
    }
    auto it = rooms_.find(roomKey);
    if (it == rooms_.end()) {
        if (rooms_.size() >= kMaxRooms) {
            out.error = "93313"; // too many conversations waiting for their rooms
            return out;
        }
        it = rooms_.emplace(roomKey, Pending{}).first;
    }
    Pending& pending = it->second;
    if (pending.texts.size() >= kMaxWaitingPerRoom) {
        out.error = "93314"; // too many texts waiting for this room
        return out;
    }
    pending.texts.push_back({std::move(text), ownNumber});
    if (!pending.requested) {
        pending.requested = true;
        ChatSend request;
        request.kind = ChatSend::Kind::RoomRequest;
        request.roomKey = roomKey;
        out.sends.push_back(std::move(request));
    }
    return out;
}

std::vector<ChatSend> WaitingTexts::roomCreated(const RoomCreation& room) {
    std::vector<ChatSend> sends;
    const auto it = rooms_.find(room.roomKey);
    if (it == rooms_.end())
        return sends;
    // Without an id and a name the texts have nowhere to go: they wait for a proper confirmation.
    if (room.roomId.empty() || room.roomName.empty()) {
        it->second.requested = false;
        return sends;
    }
    for (Waiting& waiting : it->second.texts)
        sends.push_back(message(room.roomId, room.roomName, std::move(waiting.text), waiting.ownNumber));
    rooms_.erase(it);
    return sends;
}

void WaitingTexts::roomRequestFailed(const std::string& roomKey) {
    if (const auto it = rooms_.find(roomKey); it != rooms_.end())
        it->second.requested = false;
}

std::size_t WaitingTexts::waitingCount(const std::string& roomKey) const {
    const auto it = rooms_.find(roomKey);
    return it == rooms_.end() ? 0 : it->second.texts.size();
}

bool WaitingTexts::isRoomRequested(const std::string& roomKey) const {
    const auto it = rooms_.find(roomKey);
    return it != rooms_.end() && it->second.requested;
}

} // namespace tc::chat
