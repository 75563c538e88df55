#pragma once
// The chat's records: contacts and their groups, support queues, rooms (a server notice and a recent
// conversation are rooms with flags) and the entries of a room's transcript.
#include "model/record_ptr.h"
#include "model/records/wall_time.h"
#include "platform/ordered_map.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::chat {

struct ChatGroup;

// A chat time as the server writes it ("yyyyMMddHHmmss"), the server's clock as the windows show
// it; absent for an empty text, the null date or a text that is no time.
std::optional<WallTime> chatTimeOf(std::string_view wireTime);

struct ChatUser {
    std::string UserID;
    std::string UserName; // key of the user, and of a one-to-one room the user opens
    std::string Status;   // presence as the server sends it
    std::string DisplayName;
    std::string GroupId;
    std::weak_ptr<const ChatGroup> Group; // linked when the group was known as the user was read
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
    platform::OrderedMap<std::string, RecordPtr<ChatUser>> GroupUsers;
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
    std::optional<std::string> senderDisplayName;
    std::optional<WallTime> time;
    // The user's own text, sent while the contact was signed out: the server holds it for them until
    // they sign in.
    bool heldForContact = false;
    // The server's id of the message; empty for the user's own texts until the server lists them.
    std::string messageId{};
    // The session's number of the user's own text (0 for any other entry): its delivery is followed.
    std::uint64_t ownNumber = 0;
    // The user's own text whose delivery the server had not confirmed when the line was lost: it may
    // not have reached the contact.
    bool unconfirmed = false;
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
    std::optional<WallTime> chatTime;
    std::string MessageId;
    std::vector<ChatMessageEntry> messages; // oldest first
    std::string QueueId;
    bool isRoomCreationFromQueue = false;
    std::string RoomUserDisplayName;
    std::string MessageTitle; // a notice's title
    bool isMessageNotices = false;
    bool isAnUnreadMessage = false;
};

// A conversation of a session (a contact's or a support queue's room with its transcript) kept for the
// same user's next session.
struct KeptConversation {
    std::string key;
    ChatRoom room;
};

} // namespace tc::chat
