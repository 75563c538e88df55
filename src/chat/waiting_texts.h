#pragma once
// The texts typed into a conversation whose room the server has not confirmed yet. Each room key has
// a queue of waiting texts and at most one room request out; when the room's confirmation arrives
// the texts go out in the order typed and the queue is cleared. A room with nothing waiting sends
// nothing. Pure: the caller sends what the calls return.
#include "chat/chat_tables.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace tc::chat {

// One request for the chat to send.
struct ChatSend {
    enum class Kind { RoomRequest, Message };
    Kind kind = Kind::Message;
    std::string roomKey;  // RoomRequest: the room asked for
    std::string roomId;   // Message
    std::string roomName; // Message
    std::string text;     // Message: the RTF text
    // Message: the session's number of the user's own text it carries (0: none), whose delivery the
    // chat follows.
    std::uint64_t ownNumber = 0;
};

class WaitingTexts {
public:
    // Beyond these a typed text is refused rather than kept without bound.
    static constexpr std::size_t kMaxWaitingPerRoom = 100;
    static constexpr std::size_t kMaxRooms = 1000;

    // The room of the key as the chat collections hold it when the text is typed; null when none.
    struct Room {
        bool created = false;
        std::string roomId;
        std::string roomName;
    };

    struct Outcome {
        std::vector<ChatSend> sends;
        std::string error; // the text key of why the text was refused; empty when taken
    };

    // A text typed for the room of `roomKey`: sent at once when the room is confirmed, otherwise
    // kept waiting (and the room asked for unless a request is out). `ownNumber` goes with the text.
    Outcome submit(const std::string& roomKey, std::string text, const Room* room,
                   std::uint64_t ownNumber = 0);
    // The server confirmed the room: the texts waiting for it, in order; none wait afterwards.
    std::vector<ChatSend> roomCreated(const RoomCreation& room);
    // The room request did not go out: the next text asks again. The texts keep waiting.
    void roomRequestFailed(const std::string& roomKey);

    std::size_t waitingCount(const std::string& roomKey) const;
    bool isRoomRequested(const std::string& roomKey) const;

private:
    struct Waiting {
        std::string text;
        std::uint64_t ownNumber = 0;
    };
    struct Pending {
        std::deque<Waiting> texts;
        bool requested = false;
    };

    static ChatSend message(const std::string& roomId, const std::string& roomName, std::string text,
                            std::uint64_t ownNumber);

    std::map<std::string, Pending> rooms_;
};

} // namespace tc::chat
