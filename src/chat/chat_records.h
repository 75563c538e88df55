#pragma once
// The chat's records: contacts and their groups, support queues, rooms (a server notice and a recent
// conversation are rooms with flags) and the entries of a room's transcript, with the readers of
// the tables the chat replies carry (rows cut at 0x06, columns at 0x05). Readers never fail; where a
// short row ends the handling of a reply, the table read says so.
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::chat {

struct ChatGroup;

struct ChatUser {
    std::string UserID;
    std::string UserName; // key of the user, and of a one-to-one room the user opens
    std::string Status;   // presence as the server sends it
    std::string DisplayName;
    std::string GroupId;
    std::weak_ptr<ChatGroup> Group; // linked when the group was known as the user was read
    bool IsUserInMyContactList = false;
    bool IsUserOnline = false;

    // The status, capitalised word by word, is "Online": one word, any letter case.
    static bool isOnlineStatus(std::string_view status);
    void setStatus(std::string_view status);
};

struct ChatGroup {
    std::string GroupName;
    std::string GroupID; // key
    std::string ParentID;
    platform::OrderedMap<std::string, std::shared_ptr<ChatUser>> GroupUsers;
};

struct ChatQueue {
    std::string QueueId; // key; sent in tag 1026 of a queue request
    std::string QueueName;
    bool isAgent = false;
    bool isAvailable = false;
    std::int32_t chartRequestStatus = 0; // 0 none, 1 waiting for acceptance, 2 accepted, -1 other
    std::string roomUserName;            // who answers for the queue

    // Only queues with a positive numeric id are kept.
    bool hasUsableId() const;
    // The request state of a queue answer (tag 572): 0, 1 and 2 as they are, anything else -1.
    static std::int32_t requestStatusOf(std::int64_t answer);
};

struct ChatMessageEntry {
    std::string msg; // plain text
    std::string sender;
    std::optional<std::string> senderdisplayName;
    std::string time; // as received
};

struct ChatRoom {
    std::string RequestId;
    std::string RoomName; // incoming chat messages find their room by it
    std::string RoomId;
    std::string SenderName;
    std::string RoomUsers;
    std::int32_t AddUserToRoomMode = 0;
    bool isChatRoomCreated = false;
    std::string Message; // the latest message received
    std::string chatTime;
    std::string MessageId;
    std::vector<ChatMessageEntry> messages; // oldest first
    std::string QueueId;
    bool isRoomCreationfromQueue = false;
    std::string RoomUserDisplayName;
    std::string MessageTitle; // a notice's title
    bool isMessageNotices = false;
    bool isanUnreadMessage = false;
};

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
    // Room messages: 0 message id, 1 sender, 2 RTF text, 3 time, 4 display name (optional); a row of
    // fewer than four columns ends the reply.
    static TableRead<RoomMessageRow> readRoomMessages(std::string_view table);

    // Column 1 of the first ";"-entry of a display list (tag 1051), columns cut at 0x05.
    static std::optional<std::string> displayNameOfList(std::string_view list);
    // The agent of a queue's room: the second ";"-piece of its users.
    static std::optional<std::string> queueAgentOf(std::string_view roomUsers);
};

} // namespace tc::chat
