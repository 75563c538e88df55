#pragma once
// The readers of the tables the chat replies carry (rows cut at 0x06, columns at 0x05), into the
// chat's records. Readers never fail; where a short row ends the handling of a reply, the table read
// says so.
#include "model/records/chat_records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::chat {

// A room message for a stored room: its key and the confirmed fields, each carried apart.
struct RoomCreation {
    std::string roomKey; // the tag-503 value the room is stored under
    std::string roomUsers;
    std::string roomId;
    std::string roomName;
};

// The rows of one reply table; `ended` when a short row ended the handling of the reply there.
template <class Row>
struct TableRead {
    std::vector<Row> rows;
    bool ended = false;
};

// One row of a room-messages reply.
struct RoomMessageRow {
    std::string messageId;
    ChatMessageEntry entry; // its text read out of the RTF body
};

// One chat message the server held for the user while signed out (an offline-message row that names no
// notice): the room it was sent in and the message.
struct OfflineChatRow {
    std::string roomId;
    std::string roomName;
    std::string messageId;
    ChatMessageEntry entry; // its text read out of the RTF body
};

class ChatTables {
public:
    // Rows past this are dropped with a warning.
    static constexpr std::size_t kMaxRows = 100'000;

    // Contact-list tables. Groups: 0 id, 1 name, 2 parent; a first row of fewer than three columns is
    // skipped, a later one ends the reply. Users: 0 id, 1 name, 2 status, 4 group, 5 in the contact
    // list ("1"), 7 display name; a row of fewer than eight columns ends the reply. Queues: 0 id,
    // 1 name, 2 agent, 3 available; rows of fewer than three columns, or without a usable id, are
    // skipped.
    static TableRead<ChatGroup> readGroups(std::string_view table);
    static TableRead<ChatUser> readUsers(std::string_view table);
    static std::vector<ChatQueue> readQueues(std::string_view table);

    // Recent conversations: 0 sender, 1 message, 2 users, 3 time, 4 room id, 5 room name, 7 notice
    // title (empty for a conversation), 8 display name of the other party.
    static std::vector<ChatRoom> readRecentConversations(std::string_view table);
    // Offline messages: the room ids (column 4) of the rows that name a notice (column 7 not empty).
    static std::vector<std::string> readOfflineNoticeRooms(std::string_view table);
    // Offline messages held for the user: the rows of at least six columns whose column 7 is empty or
    // missing and that name a sender (0), a room id (4) and a room name (5); 1 the RTF text, 3 the time,
    // 6 the message id, 8 the sender's display name.
    static std::vector<OfflineChatRow> readOfflineChatMessages(std::string_view table);
    // Room messages: 0 message id, 1 sender, 2 RTF text, 3 time, 4 display name (optional); a row of
    // fewer than four columns ends the reply.
    static TableRead<RoomMessageRow> readRoomMessages(std::string_view table);

    // Column 1 of the first ";"-entry of a display list (tag 1051), columns cut at 0x05.
    static std::optional<std::string> displayNameOfList(std::string_view list);
    // The agent of a queue's room: the second ";"-piece of its users.
    static std::optional<std::string> queueAgentOf(std::string_view roomUsers);
};

} // namespace tc::chat
