#pragma once
// The session's chat: contacts, groups and support queues, rooms (conversations, notices, recent
// conversations) and their transcripts, kept for one login; the typed texts that wait for their
// rooms; the handlers of the chat messages the server sends. The business object owns it (through its
// services) and forwards to it; everything here runs on the main queue.
#include "chat/waiting_texts.h"
#include "interfaces/chat.h"
#include "model/chat_collections.h"
#include "session/business/business_services.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class BusinessBase;
class SessionEvents;
} // namespace tc

namespace tc::chat {

class SessionChat final : public ChatHandlers {
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

    // The conversations worth keeping for the same user's next session: each contact's or queue's room
    // with its transcript, an empty one (a contact chosen, no text yet) too.
    std::vector<KeptConversation> KeptConversations() const;
    // The same user's conversations of the session before, taken over before this one signs in: each
    // transcript stays, its room is asked for again (the server may have been restarted), and once the
    // recent conversations name the contact's room its messages are asked for, so what the transcript
    // missed comes in (each message once).
    void TakeOverConversations(const std::vector<KeptConversation>& kept);
    // The user's own texts followed until the server has read them (a ping sent after the text
    // answered), then forgotten; past this the oldest are forgotten unmarked.
    static constexpr std::size_t kMaxFollowedTexts = 1000;
    std::vector<std::string> takeUnconfirmedTexts() override;

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
    // When one's own text is written into its transcript.
    std::optional<WallTime> ownTextTime() const;
    interfaces::CommandResult SendAll(const std::vector<ChatSend>& sends);
    // The room that keeps the conversation a message from `partner` came in (server room `roomId`,
    // `roomName`): the one that holds it already, else the partner's, made to hold it (texts that
    // waited for it go out in it). Null for no partner, the user, a notice, or when the rooms are full.
    ChatRoom* ConversationRoom(const std::string& partner, const std::string& roomId,
                               const std::string& roomName, const std::optional<std::string>& displayName);
    void Changed(interfaces::ChatChange::Kind kind, std::string key);
    // The messages of the server's room `roomId` (a room-messages reply) into each conversation kept
    // in that room, each once, in the server's order; the user's own texts it lists are known to
    // have reached the server.
    void MergeIntoConversations(const std::string& roomId, const std::vector<RoomMessageRow>& rows);
    // The conversations taken over from the session before: their messages are asked for in the rooms
    // the server lists (the recent conversations), where the transcripts may be behind.
    void AskForConversationsBehind();
    // The user's texts the server has read are followed no more.
    void ForgetConfirmed();

    // The user's own text followed until the server has read it: the pings sent before it went out
    // (none while it waits for its room).
    struct FollowedText {
        std::string roomKey;
        std::uint64_t ownNumber = 0;
        std::optional<std::uint64_t> pingsBefore;
    };

    BusinessBase& business_;
    std::unique_ptr<SessionEvents> events_;
    ChatCollections chat_;
    WaitingTexts waiting_;
    std::vector<FollowedText> followed_;
    std::uint64_t nextOwnNumber_ = 1;
    std::set<std::string> behind_; // conversations taken over, not yet asked for again
    ChangeListener changeListener_;
    NoticeListener noticeListener_;
};

} // namespace tc::chat
