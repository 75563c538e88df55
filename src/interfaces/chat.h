#pragma once
// The chat side of a client: texts, rooms, support queues, room transcripts and server notices.
#include "interfaces/commands.h"
#include "interfaces/handler.h"
#include "model/chat_collections.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {

// What a chat message changed; the chat collections hold the result.
struct ChatChange {
    enum class Kind {
        Contacts,   // groups, users and queues
        RoomReady,  // the server confirmed the room under `key`; waiting texts have gone out
        Message,    // a message arrived in the room named `key`
        Transcript, // the room id `key` received its earlier messages
        Status,     // the presence of user `key`
        Queue,      // the availability of, or answer from, queue `key`
        Recent,     // the recent conversations were replaced
        Rewritten,  // the transcript under `key` changed in place: rows marked, earlier messages put in
    };
    Kind kind = Kind::Contacts;
    std::string key;
};

// Server notices: a notice's message (roomId, title) or offline notices marked unread (count).
struct NoticeArrival {
    std::string roomId;
    std::string title;
    std::int64_t unreadCount = 0;
};

class Chat {
public:
    virtual ~Chat() = default;

    // Contacts, groups, queues, rooms, notices and recent conversations.
    virtual const tc::chat::ChatCollections& collections() const = 0;

    // A typed text for the conversation under `roomKey` (a contact's user name or a queue id): sent at
    // once when the room exists, else kept in order until the server confirms the room.
    virtual CommandResult sendChat(std::string_view roomKey, std::string_view text) = 0;
    // Makes the room of a contact the chat window selected (nothing is sent).
    virtual CommandResult createChatRoom(std::string_view roomKey) = 0;
    // Asks a support queue for a conversation, with the request's text.
    virtual CommandResult requestChatQueue(std::string_view queueId, std::string_view text) = 0;
    // Whose conversation the chat window shows (no banner for that person's messages); "" for none.
    virtual void setOpenConversation(std::string_view userName) = 0;
    // The earlier messages of a notice or recent conversation (by its room key).
    virtual CommandResult requestRoomMessages(std::string_view roomKey) = 0;
    // The user opens a notice: it is read from now on. With its messages here they are acknowledged
    // to the server; without, they are asked for (the Transcript change of its room id follows).
    virtual CommandResult openNotice(std::string_view roomKey) = 0;
    // The conversations of this session (each contact's or queue's room with its transcript), copied
    // for the same user's next session.
    virtual std::vector<tc::chat::KeptConversation> keptConversations() const = 0;
    // Before this session signs in: the same user's conversations of the session before. Their
    // transcripts stay, and what the server holds beyond them comes in once it is signed in.
    virtual void takeOverConversations(const std::vector<tc::chat::KeptConversation>& kept) = 0;

    using ChangedFn = std::function<void(const ChatChange& change)>;
    using NoticeFn = std::function<void(const NoticeArrival& notice)>;
    virtual std::unique_ptr<Handler> handleChatChanged(ChangedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleNoticeArrived(NoticeFn fn) = 0;
};

} // namespace interfaces
