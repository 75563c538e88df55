#pragma once
// The session's chat: contacts, groups and support queues, rooms (conversations, notices, recent
// conversations) and their transcripts, kept for one login; the typed texts that wait for their
// rooms; the handlers of the chat messages the server sends. The business object owns it (through its
// services) and forwards to it; everything here runs on the main queue.
#include "chat/waiting_texts.h"
#include "interfaces/chat.h"
#include "model/chat_collections.h"
#include "session/business/business_services.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc {
class BusinessBase;
class SessionEvents;
} // namespace tc

namespace tc::chat {

class SessionChat final : public SessionRoom {
public:
    using Fields = std::vector<std::string>;
    using ChangeListener = std::function<void(const interfaces::ChatChange&)>;
    using NoticeListener = std::function<void(const interfaces::NoticeArrival&)>;

    explicit SessionChat(BusinessBase& business);
    ~SessionChat() override;

    const ChatCollections& Collections() const { return chat_; }
    const WaitingTexts& QueuedTexts() const { return waiting_; }
    void SetListeners(ChangeListener changes, NoticeListener notices);

    // Stores an empty room under the key unless one is there (the contact the chat window selected).
    interfaces::CommandResult CreateRoomForChat(std::string_view roomKey);
    // A typed plain text for the room under the key: sent as RTF at once when the room is confirmed,
    // otherwise queued in order behind one room request and sent when the server confirms the room.
    interfaces::CommandResult SendChat(std::string_view roomKey, std::string_view text);
    interfaces::CommandResult SendChatQueueRequest(std::string_view queueId, std::string_view text);
    interfaces::CommandResult requestRoomMessage(std::string_view roomKey);
    // Marks the notice read, then acknowledges its messages, or asks for them when none are here.
    interfaces::CommandResult OpenNotice(std::string_view roomKey);
    void setChatUserName(std::string_view userName) { chat_.chatUserName = std::string(userName); }

    // The chat messages (types 601 to 680), handled below.
    void enterMessages(MessageRooms& rooms) override;
    void FillChatRoomDetails(const Fields& fields, const std::string& roomKey);
    void FillChatMessages(const Fields& fields, const std::string& roomName);
    void FillOfflineMessages(const Fields& fields);
    void FillRoomMessage(const Fields& fields);
    void FillChatGroupsAndUsers(const Fields& fields);
    void FillRecentConversation(const Fields& fields);
    void UpdateChatUserStatus(const std::string& userName, const Fields& fields);
    void UpdateChatResponseFromQueue(const Fields& fields, const std::string& queueId);
    void UpdateChatQueueStatus(const Fields& fields, const std::string& queueId);

private:
    interfaces::CommandResult SendAll(const std::vector<ChatSend>& sends);
    // The room that keeps the conversation a message from `partner` came in (server room `roomId`,
    // `roomName`): the one that holds it already, else the partner's, made to hold it (texts that
    // waited for it go out in it). Null for no partner, the user, a notice, or when the rooms are full.
    ChatRoom* ConversationRoom(const std::string& partner, const std::string& roomId,
                               const std::string& roomName, const std::optional<std::string>& displayName);
    void Changed(interfaces::ChatChange::Kind kind, std::string key);

    BusinessBase& business_;
    std::unique_ptr<SessionEvents> events_;
    ChatCollections chat_;
    WaitingTexts waiting_;
    ChangeListener changeListener_;
    NoticeListener noticeListener_;
};

} // namespace tc::chat
