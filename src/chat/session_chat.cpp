#include "chat/session_chat.h"

#include "chat/rtf_reader.h"
#include "model/records/record_layout.h"
#include "model/records/tagged_fields.h"
#include "model/text/positional_text.h"
#include "platform/log.h"
#include "platform/rtf_writer.h"
#include "session/business/business_base.h"
#include "session/business/session_events.h"
#include "wire/login_inputdata.h"
#include "wire/message_builders.h"
#include "wire/record_text.h"
#include "wire/wire_date.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <utility>

namespace tc::chat {

namespace tag = wire::tag;

namespace {

constexpr int kNoticeTitle = 161;
constexpr int kDisplayList = 1051;
constexpr int kUsersTable = 521;
constexpr int kGroupsTable = 522;
constexpr int kQueuesTable = 1019;
constexpr int kMessageId = 506;
constexpr int kSenderDisplayName = 517;
constexpr int kStatus = 24;
constexpr int kQueueAnswer = 572;
// Rooms kept; past it new rooms are dropped with a warning.
constexpr std::size_t kMaxRooms = 100'000;
constexpr std::size_t kMaxTranscript = 100'000;

using Kind = interfaces::ChatChange::Kind;
using records::TaggedField;
using records::taggedFields;

template <class Layout>
constexpr bool readsTag(const Layout& layout, std::int64_t tag) {
    return std::apply(
        [&](const auto&... row) { return ((static_cast<std::int64_t>(row.position) == tag) || ...); },
        layout.rows);
}

// What a room's creation, or its reply, says of the room.
constexpr auto kRoomDetailsLayout = records::recordLayout(
    records::text(tag::kRoomId, &ChatRoom::RoomId), records::text(tag::kRoomName, &ChatRoom::RoomName),
    records::text(tag::kChatPartner, &ChatRoom::RoomUsers),
    records::text(tag::kChatUser, &ChatRoom::SenderName),
    records::text(tag::kRequestId, &ChatRoom::RequestId),
    // The whole number cut to 32 bits, as the room always took it (not saturated).
    records::int64(tag::kRoomState, &ChatRoom::AddUserToRoomMode));

// What only a new room's creation says besides: a notice's title, the partner's shown name.
constexpr auto kNewRoomLayout =
    records::joined(kRoomDetailsLayout,
                    records::recordLayout(records::text(kNoticeTitle,
                                                        [](ChatRoom& r, std::string_view title) {
                                                            r.MessageTitle = title;
                                                            r.isMessageNotices = true;
                                                            r.isAnUnreadMessage = true;
                                                            r.isChatRoomCreated = true;
                                                        }),
                                          records::text(kDisplayList, [](ChatRoom& r, std::string_view list) {
                                              r.isChatRoomCreated = true;
                                              if (auto name = ChatTables::displayNameOfList(list))
                                                  r.RoomUserDisplayName = *name;
                                          })));

// Any field beyond the room's details (the message type's, at least) tells that the room is made.
bool tellsRoomMade(std::span<const TaggedField> fields) {
    return std::ranges::any_of(fields,
                               [](const TaggedField& f) { return !readsTag(kRoomDetailsLayout, f.tag); });
}

// What a chat message says of its room; its texts, and the name shown with them, are read beside.
constexpr auto kChatMessageLayout = records::recordLayout(
    records::time(tag::kTime, &ChatRoom::chatTime), records::text(tag::kRoomId, &ChatRoom::RoomId),
    records::text(tag::kRoomName, &ChatRoom::RoomName), records::text(kMessageId, &ChatRoom::MessageId),
    records::text(tag::kChatUser, &ChatRoom::SenderName));

constexpr auto kUserStatusLayout = records::recordLayout(
    records::text(kStatus, [](ChatUser& u, std::string_view status) { u.setStatus(status); }));
constexpr auto kQueueStatusLayout =
    records::recordLayout(records::flag(kQueueAnswer, &ChatQueue::isAvailable));
constexpr auto kQueueReplyLayout =
    records::recordLayout(records::int64(kQueueAnswer, [](ChatQueue& q, std::int64_t answer) {
        q.chartRequestStatus = ChatQueue::requestStatusOf(answer);
    }));

// A refusal in the user's language.
interfaces::CommandResult refusal(const BusinessBase& business, std::string_view key) {
    return interfaces::CommandResult::refused(business.textForKey(key));
}

// A key or typed text that would carry a wire control byte is refused, never sent: the key of why.
std::optional<std::string_view> refusedText(std::string_view whyKey, std::string_view text) {
    if (wire::findControlByte(text) != std::string_view::npos)
        return whyKey;
    return std::nullopt;
}
constexpr std::string_view kTextNotSendableKey = "93310";
constexpr std::string_view kContactNotSendableKey = "93311";
constexpr std::string_view kNotConnectedKey = "1007";
// A text of the user's the server had not confirmed when the line was lost (contact, the text).
constexpr std::string_view kUnconfirmedTextKey = "94740";

// The RTF document of a typed text, or why it cannot go (the key of the reason): it travels whole in
// one field of one message, beside a few short ones.
std::optional<std::string> rtfToSend(std::string_view text, std::string_view& errorKey) {
    constexpr std::size_t kMaxRtfBytes = kMaxMessageBody - (std::size_t{64} << 10);
    std::string rtf = platform::rtfFromPlainText(text);
    if (rtf.empty() || rtf.size() > kMaxRtfBytes) {
        errorKey = "93312";
        return std::nullopt;
    }
    return rtf;
}

void append(ChatRoom& room, ChatMessageEntry entry) {
    if (room.messages.size() >= kMaxTranscript)
        room.messages.erase(room.messages.begin());
    room.messages.push_back(std::move(entry));
}

} // namespace

SessionChat::SessionChat(BusinessBase& business)
    : business_(business), events_(SessionEvents::ForPartOf(business)) {}

SessionChat::~SessionChat() = default;

void SessionChat::enterMessages(MessageRooms& rooms) {
    namespace msg = wire::msg;
    namespace tag = wire::tag;
    // Each handler reads the fields, and at most one tag besides.
    const auto room = [this](const RoomMessage& m) {
        FillChatRoomDetails(m.fields(), m.text(tag::kChatPartner));
    };
    rooms.enter(msg::kRoomCreation, {tag::kChatPartner}, true, room);
    rooms.enter(msg::kRoomCreationReply, {tag::kChatPartner}, true, room);
    rooms.enter(msg::kChatMessage, {tag::kRoomName}, true,
                [this](const RoomMessage& m) { FillChatMessages(m.fields(), m.text(tag::kRoomName)); });
    rooms.enter(msg::kOfflineMessagesReply, {}, true,
                [this](const RoomMessage& m) { FillOfflineMessages(m.fields()); });
    rooms.enter(msg::kRoomMessagesReply, {}, true,
                [this](const RoomMessage& m) { FillRoomMessage(m.fields()); });
    rooms.enter(msg::kContactListReply, {}, true,
                [this](const RoomMessage& m) { FillChatGroupsAndUsers(m.fields()); });
    rooms.enter(msg::kChatUserStatus, {tag::kUserName}, true,
                [this](const RoomMessage& m) { UpdateChatUserStatus(m.text(tag::kUserName), m.fields()); });
    rooms.enter(msg::kRecentConversationReply, {}, true,
                [this](const RoomMessage& m) { FillRecentConversation(m.fields()); });
    rooms.enter(msg::kChatQueueReply, {tag::kQueueId}, true, [this](const RoomMessage& m) {
        UpdateChatResponseFromQueue(m.fields(), m.text(tag::kQueueId));
    });
    rooms.enter(msg::kChatQueueStatus, {tag::kQueueId}, true,
                [this](const RoomMessage& m) { UpdateChatQueueStatus(m.fields(), m.text(tag::kQueueId)); });
}

void SessionChat::SetListeners(ChangeListener changes, NoticeListener notices) {
    changeListener_ = std::move(changes);
    noticeListener_ = std::move(notices);
}

void SessionChat::Changed(Kind kind, std::string key) {
    if (changeListener_)
        changeListener_({kind, std::move(key)});
}

// ---- requests

interfaces::CommandResult SessionChat::CreateRoomForChat(std::string_view roomKey) {
    if (roomKey.empty())
        return refusal(business_, "93307");
    if (auto why = refusedText(kContactNotSendableKey, roomKey))
        return refusal(business_, *why);
    const std::string key(roomKey);
    if (!chat_.ChatRoomCollection.contains(key)) {
        if (chat_.ChatRoomCollection.size() >= kMaxRooms)
            return refusal(business_, "93308");
        chat_.ChatRoomCollection.insert_or_assign(key, std::make_shared<ChatRoom>());
    }
    return interfaces::CommandResult::done();
}

interfaces::CommandResult SessionChat::SendAll(const std::vector<ChatSend>& sends) {
    SessionRequests& r = business_.sessionRequests();
    for (const ChatSend& send : sends) {
        if (send.kind == ChatSend::Kind::RoomRequest) {
            if (!r.SendRoomRequest(send.roomKey)) {
                waiting_.roomRequestFailed(send.roomKey);
                return refusal(business_, "93309");
            }
        } else if (!r.SendNewChatMessageToServer(send.text, send.roomId, send.roomName)) {
            return refusal(business_, "93305");
        } else if (send.ownNumber != 0) {
            for (FollowedText& followed : followed_)
                if (followed.ownNumber == send.ownNumber)
                    followed.pingsBefore = business_.pingsSent();
        }
    }
    ForgetConfirmed();
    return interfaces::CommandResult::done();
}

std::optional<WallTime> SessionChat::ownTextTime() const {
    // Signed in, the server's clock is known; the computer's only as a last resort.
    return chatTimeOf(business_.ServerTime().value_or(wire::nowText()));
}

interfaces::CommandResult SessionChat::SendChat(std::string_view roomKey, std::string_view text) {
    if (text.empty())
        return refusal(business_, "93306");
    if (auto why = refusedText(kTextNotSendableKey, text))
        return refusal(business_, *why);
    if (auto created = CreateRoomForChat(roomKey); !created)
        return created;
    if (!business_.conn().isNetworkAvailable())
        return refusal(business_, kNotConnectedKey);
    std::string_view tooLong;
    std::optional<std::string> rtf = rtfToSend(text, tooLong);
    if (!rtf)
        return refusal(business_, tooLong);
    const std::string key(roomKey);
    auto& room = *chat_.ChatRoomCollection.get(key);
    const WaitingTexts::Room state{room->isChatRoomCreated, room->RoomId, room->RoomName};
    const std::uint64_t number = nextOwnNumber_;
    WaitingTexts::Outcome outcome = waiting_.submit(key, std::move(*rtf), &state, number);
    if (!outcome.error.empty())
        return refusal(business_, outcome.error);
    ++nextOwnNumber_;
    // Followed until the server has read it: a loss before then names it.
    if (followed_.size() >= kMaxFollowedTexts)
        followed_.erase(followed_.begin());
    followed_.push_back({key, number, std::nullopt});
    // The user's own text is part of the transcript at once.
    ChatMessageEntry entry;
    entry.ownNumber = number;
    entry.msg = std::string(text);
    entry.sender = business_.loginData().userName().value_or("");
    // Stamped with the server's clock, as the server stamps what it relays, so both read alike.
    entry.time = ownTextTime();
    // A contact signed out gets it when they sign in: the server holds it for them meanwhile.
    const auto* contact = chat_.UserChatCollection.get(key);
    entry.heldForContact = contact && *contact && !(*contact)->IsUserOnline;
    append(*room, std::move(entry));
    room->SenderName = business_.loginData().userName().value_or("");
    return SendAll(outcome.sends);
}

interfaces::CommandResult SessionChat::SendChatQueueRequest(std::string_view queueId, std::string_view text) {
    if (auto why = refusedText(kTextNotSendableKey, text))
        return refusal(business_, *why);
    auto* queue = chat_.ChatQueueCollection.get(std::string(queueId));
    if (!queue || !*queue)
        return refusal(business_, "93315");
    if (!business_.conn().isNetworkAvailable())
        return refusal(business_, kNotConnectedKey);
    std::string_view tooLong;
    const std::optional<std::string> rtf = rtfToSend(text, tooLong);
    if (!rtf)
        return refusal(business_, tooLong);
    const std::string queueKey = (*queue)->QueueId;
    if (!business_.sessionRequests().SendChatQueueRequest(queueKey, *rtf))
        return refusal(business_, "93316");
    // The question opens the queue's transcript: the room the queue opens keeps it.
    if (auto created = CreateRoomForChat(queueKey); created) {
        ChatRoom& room = **chat_.ChatRoomCollection.get(queueKey);
        append(room, {std::string(text), business_.loginData().userName().value_or(""), std::nullopt,
                      ownTextTime()});
        Changed(Kind::Message, room.RoomName);
    }
    return interfaces::CommandResult::done();
}

interfaces::CommandResult SessionChat::requestRoomMessage(std::string_view roomKey) {
    auto* room = chat_.ChatRoomCollection.get(std::string(roomKey));
    if (!room || !*room)
        return refusal(business_, "93317");
    if (!business_.sessionRequests().requestRoomMessage((*room)->RoomName, (*room)->RoomId))
        return refusal(business_, "93304");
    return interfaces::CommandResult::done();
}

interfaces::CommandResult SessionChat::OpenNotice(std::string_view roomKey) {
    auto* held = chat_.ChatRoomCollection.get(std::string(roomKey));
    if (!held || !*held || !(*held)->isMessageNotices)
        return refusal(business_, "93318");
    ChatRoom& room = **held;
    room.isAnUnreadMessage = false;
    if (room.messages.empty())
        return requestRoomMessage(roomKey);
    if (!business_.sessionRequests().requestChatMessageAcknowledgement(room.RoomName, room.MessageId))
        return refusal(business_, "93319");
    return interfaces::CommandResult::done();
}

// ---- rooms

void SessionChat::FillChatRoomDetails(const Fields& fields, const std::string& roomKey) {
    const std::vector<TaggedField> parsed = taggedFields(fields);
    const bool made = tellsRoomMade(parsed);

    if (auto* held = chat_.ChatRoomCollection.get(roomKey); held && *held) {
        ChatRoom& room = **held;
        records::readTagged(parsed, kRoomDetailsLayout, room);
        room.isChatRoomCreated = room.isChatRoomCreated || made;
        // The texts typed while the room was being made go out now, in order, once.
        const RoomCreation creation{roomKey, room.RoomUsers, room.RoomId, room.RoomName};
        if (auto sent = SendAll(waiting_.roomCreated(creation)); !sent)
            platform::Log::warning("chat room {}: {}", roomKey, sent.error);
        Changed(Kind::RoomReady, roomKey);
        return;
    }

    auto room = std::make_shared<ChatRoom>();
    // A queue's room names its agent on the queue, as the partners read before it give the agent.
    const auto fromQueue =
        records::recordLayout(records::text(tag::kQueueId, [this](ChatRoom& r, std::string_view id) {
            r.QueueId = id;
            r.isRoomCreationFromQueue = true;
            r.isChatRoomCreated = true;
            auto* queue = chat_.ChatQueueCollection.get(r.QueueId);
            if (auto agent = ChatTables::queueAgentOf(r.RoomUsers); queue && *queue && agent)
                (*queue)->roomUserName = *agent;
        }));
    records::readTagged(parsed, records::joined(kNewRoomLayout, fromQueue), *room);
    room->isChatRoomCreated = room->isChatRoomCreated || made;
    const std::string key = room->isRoomCreationFromQueue ? room->QueueId
                            : room->isMessageNotices      ? room->RoomId
                                                          : room->SenderName;
    if (key.empty()) {
        platform::Log::warning("chat room without a key dropped");
        return;
    }
    if (!chat_.ChatRoomCollection.contains(key) && chat_.ChatRoomCollection.size() >= kMaxRooms) {
        platform::Log::warning("chat rooms are full; room {} dropped", key);
        return;
    }
    // What was written under the key before (a support request's question, an earlier room of the
    // same queue) stays at the head of the transcript.
    if (auto* before = chat_.ChatRoomCollection.get(key); before && *before) {
        room->messages.insert(room->messages.begin(), (*before)->messages.begin(), (*before)->messages.end());
        if (room->messages.size() > kMaxTranscript)
            room->messages.erase(room->messages.begin(),
                                 room->messages.begin() +
                                     static_cast<std::ptrdiff_t>(room->messages.size() - kMaxTranscript));
    }
    chat_.ChatRoomCollection.insert_or_assign(key, room);
    Changed(Kind::RoomReady, key);
}

// ---- messages

ChatRoom* SessionChat::ConversationRoom(const std::string& partner, const std::string& roomId,
                                        const std::string& roomName,
                                        const std::optional<std::string>& displayName) {
    if (partner.empty() || roomId.empty() || roomName.empty() ||
        partner == business_.loginData().userName().value_or(""))
        return nullptr;
    // A room already kept for the conversation (under a contact's name or a queue, not as a recent
    // conversation under its id) holds it; a notice's room is no conversation.
    for (auto& [key, room] : chat_.ChatRoomCollection) {
        if (!room || room->RoomName != roomName)
            continue;
        if (room->isMessageNotices)
            return nullptr;
        if (key != room->RoomId && room->isChatRoomCreated)
            return room.get();
    }
    auto* held = chat_.ChatRoomCollection.get(partner);
    if (!held || !*held) {
        if (chat_.ChatRoomCollection.size() >= kMaxRooms) {
            platform::Log::warning("chat rooms are full; the conversation with {} dropped", partner);
            return nullptr;
        }
        chat_.ChatRoomCollection.insert_or_assign(partner, std::make_shared<ChatRoom>());
        held = chat_.ChatRoomCollection.get(partner);
    }
    ChatRoom& room = **held;
    room.RoomId = roomId;
    room.RoomName = roomName;
    room.isChatRoomCreated = true;
    if (room.SenderName.empty())
        room.SenderName = partner;
    if (room.RoomUserDisplayName.empty() && displayName)
        room.RoomUserDisplayName = *displayName;
    // Texts typed while the room was asked for go out in the room the server has.
    if (auto sent = SendAll(waiting_.roomCreated({partner, partner, roomId, roomName})); !sent)
        platform::Log::warning("chat room {}: {}", partner, sent.error);
    Changed(Kind::RoomReady, partner);
    return &room;
}

void SessionChat::FillChatMessages(const Fields& fields, const std::string& roomName) {
    const std::vector<TaggedField> parsed = taggedFields(fields);
    std::string messageId; // the message's, wherever its field stands
    {
        // The conversation with the sender holds it, though the room was made while the user was away
        // or before the contact was chosen.
        std::string from, roomId;
        std::optional<std::string> shown;
        for (const TaggedField& f : parsed) {
            if (f.tag == tag::kChatUser)
                from = f.value;
            else if (f.tag == tag::kRoomId)
                roomId = f.value;
            else if (f.tag == kMessageId)
                messageId = f.value;
            else if (f.tag == kSenderDisplayName && !f.value.empty())
                shown = std::string(f.value);
        }
        ConversationRoom(from, roomId, roomName, shown);
    }
    bool matched = false;
    bool notice = false;
    std::string noticeTitle;
    std::string sender, lastText;
    std::optional<std::string> displayName;
    for (auto& [key, roomPtr] : chat_.ChatRoomCollection) {
        if (!roomPtr || roomPtr->RoomName != roomName)
            continue;
        ChatRoom& room = *roomPtr;
        matched = true;
        // A message in a notice room is a notice, whatever fields it carries: it must never pass
        // for a chat message from the notice's sender.
        if (room.isMessageNotices) {
            notice = true;
            noticeTitle = room.MessageTitle;
        }
        std::optional<std::string> display;
        bool textSeen = false;
        const auto transcript = records::recordLayout(
            records::text(tag::kChatUser, [&](ChatRoom&, std::string_view user) { sender = user; }),
            records::text(kSenderDisplayName,
                          [&](ChatRoom&, std::string_view name) {
                              if (!textSeen)
                                  display = std::string(name);
                          }),
            // Each text is an entry from the sender and at the time read before it.
            records::text(tag::kText, [&](ChatRoom& r, std::string_view rtf) {
                if (!textSeen && !display && !r.RoomUserDisplayName.empty())
                    display = r.RoomUserDisplayName;
                textSeen = true;
                const std::string plain = RtfReader::ConvertRTFToString(rtf);
                ChatMessageEntry entry{plain, r.SenderName, display, r.chatTime};
                entry.messageId = messageId;
                append(r, std::move(entry));
                r.Message = plain;
                lastText = plain;
                sender = r.SenderName;
                displayName = display;
            }));
        records::readTagged(parsed, records::joined(kChatMessageLayout, transcript), room);
    }
    if (!matched)
        return;
    if (notice) {
        events_->NewMessageNotification(noticeTitle);
        if (noticeListener_) {
            std::string roomId;
            for (const auto& [key, room] : chat_.ChatRoomCollection)
                if (room && room->RoomName == roomName)
                    roomId = room->RoomId;
            noticeListener_({roomId, noticeTitle, 0});
        }
    } else {
        events_->NewChatMessageNotification({sender, lastText, displayName.value_or("")}, chat_.chatUserName,
                                            business_.loginData().userName().value_or(""));
    }
    Changed(Kind::Message, roomName);
}

void SessionChat::FillRecentConversation(const Fields& fields) {
    for (const TaggedField& f : taggedFields(fields)) {
        if (f.tag != tag::kText)
            continue;
        for (ChatRoom& row : ChatTables::readRecentConversations(f.value)) {
            std::string key = row.RoomId;
            if (!chat_.ChatRoomCollection.contains(key) && chat_.ChatRoomCollection.size() >= kMaxRooms)
                break;
            chat_.ChatRoomCollection.insert_or_assign(std::move(key),
                                                      std::make_shared<ChatRoom>(std::move(row)));
        }
    }
    AskForConversationsBehind();
    Changed(Kind::Recent, {});
}

void SessionChat::FillOfflineMessages(const Fields& fields) {
    std::int64_t count = 0;
    // The messages the server held for the user, each in the conversation with its sender; the last of
    // each conversation is acknowledged, so the server holds them no more, and announced.
    struct Held {
        std::string roomName, messageId;
        ChatMessageEntry last;
    };
    std::vector<Held> conversations;
    for (const TaggedField& f : taggedFields(fields)) {
        if (f.tag != tag::kText)
            continue;
        for (const std::string& roomId : ChatTables::readOfflineNoticeRooms(f.value)) {
            if (auto* room = chat_.ChatRoomCollection.get(roomId); room && *room) {
                (*room)->isAnUnreadMessage = true;
                ++count;
            }
        }
        for (OfflineChatRow& row : ChatTables::readOfflineChatMessages(f.value)) {
            ChatRoom* room =
                ConversationRoom(row.entry.sender, row.roomId, row.roomName, row.entry.senderDisplayName);
            if (!room)
                continue;
            // A text the conversation holds already (the reply came twice, or the text came live or in the
            // room's messages) is not shown again.
            if (!row.messageId.empty() && std::ranges::any_of(room->messages, [&](const ChatMessageEntry& e) {
                    return e.messageId == row.messageId;
                }))
                continue;
            row.entry.messageId = row.messageId;
            room->Message = row.entry.msg;
            room->chatTime = row.entry.time;
            room->SenderName = row.entry.sender;
            if (!row.messageId.empty())
                room->MessageId = row.messageId;
            auto held = std::find_if(conversations.begin(), conversations.end(),
                                     [&](const Held& h) { return h.roomName == row.roomName; });
            if (held == conversations.end())
                held = conversations.insert(conversations.end(), Held{row.roomName, {}, {}});
            if (!row.messageId.empty())
                held->messageId = row.messageId;
            held->last = row.entry;
            append(*room, std::move(row.entry));
        }
    }
    for (const Held& held : conversations) {
        if (!held.messageId.empty())
            business_.sessionRequests().requestChatMessageAcknowledgement(held.roomName, held.messageId);
        events_->NewChatMessageNotification(
            {held.last.sender, held.last.msg, held.last.senderDisplayName.value_or("")}, chat_.chatUserName,
            business_.loginData().userName().value_or(""));
        Changed(Kind::Message, held.roomName);
    }
    if (count < 1)
        return;
    events_->NewMessagesNotification(count);
    if (noticeListener_)
        noticeListener_({{}, {}, count});
}

void SessionChat::FillRoomMessage(const Fields& fields) {
    std::string roomId;
    std::shared_ptr<ChatRoom> last;
    std::string lastRoomId;
    bool tableSeen = false;
    for (const TaggedField& f : taggedFields(fields)) {
        if (f.tag == tag::kRoomId) {
            roomId = std::string(f.value);
            continue;
        }
        if (f.tag != tag::kText)
            continue;
        tableSeen = true;
        auto* held = chat_.ChatRoomCollection.get(roomId);
        last = held ? *held : nullptr;
        lastRoomId = roomId;
        TableRead<RoomMessageRow> read = ChatTables::readRoomMessages(f.value);
        MergeIntoConversations(roomId, read.rows);
        if (last) {
            for (RoomMessageRow& row : read.rows) {
                if (last->isMessageNotices)
                    last->MessageId = row.messageId;
                row.entry.messageId = row.messageId;
                append(*last, std::move(row.entry));
            }
        }
        if (read.ended)
            return; // a short row ends the reply: no acknowledgement, no notification
    }
    if (!tableSeen)
        return;
    if (last && last->isMessageNotices) {
        business_.sessionRequests().requestChatMessageAcknowledgement(last->RoomName, last->MessageId);
        last->isAnUnreadMessage = false;
    }
    Changed(Kind::Transcript, last ? last->RoomId : lastRoomId);
}

// ---- conversations kept across a sign-in again, and the delivery of the user's texts

namespace {

// A text as the server lists it back: the RTF round trip may leave a line end behind.
std::string_view trimmedText(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    return text;
}

// At most `count` characters of a UTF-8 text, an ellipsis marking a cut.
std::string excerpt(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count)
            break;
    return at < text.size() ? std::string(text.substr(0, at)) + "\u2026" : std::string(text);
}

// A contact's conversation is the server's room of exactly the user and the contact.
bool roomOfPair(const ChatRoom& room, std::string_view user, std::string_view contact) {
    std::set<std::string_view> users;
    std::string_view rest = room.RoomUsers;
    while (!rest.empty()) {
        const std::size_t cut = rest.find(';');
        if (std::string_view one = rest.substr(0, cut); !one.empty())
            users.insert(one);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    return users == std::set<std::string_view>{user, contact};
}

} // namespace

std::vector<KeptConversation> SessionChat::KeptConversations() const {
    std::vector<KeptConversation> kept;
    // An open conversation with no text yet is kept too: its first text may be the one the line lost.
    for (const auto& [key, room] : chat_.ChatRoomCollection)
        if (room && !room->isMessageNotices && key != room->RoomId)
            kept.push_back({key, *room});
    return kept;
}

void SessionChat::TakeOverConversations(const std::vector<KeptConversation>& kept) {
    for (const KeptConversation& conversation : kept) {
        if (conversation.key.empty() || chat_.ChatRoomCollection.contains(conversation.key))
            continue;
        if (chat_.ChatRoomCollection.size() >= kMaxRooms)
            break;
        auto room = std::make_shared<ChatRoom>(conversation.room);
        // The server's room may be gone (a restart) or another: asked for again at the next text.
        room->RoomId.clear();
        room->RoomName.clear();
        room->RequestId.clear();
        room->isChatRoomCreated = false;
        // The last session's texts are followed no more.
        for (ChatMessageEntry& entry : room->messages)
            entry.ownNumber = 0;
        if (!room->isRoomCreationFromQueue)
            behind_.insert(conversation.key);
        chat_.ChatRoomCollection.insert_or_assign(conversation.key, std::move(room));
    }
    Changed(Kind::Recent, {});
}

void SessionChat::AskForConversationsBehind() {
    const std::string user = business_.loginData().userName().value_or("");
    for (const std::string& key : std::exchange(behind_, {})) {
        auto* held = chat_.ChatRoomCollection.get(key);
        if (!held || !*held)
            continue;
        ChatRoom& room = **held;
        if (!room.isChatRoomCreated) {
            // The server's room of the two, as it lists it now; none after a restart.
            for (const auto& [recentKey, recent] : chat_.ChatRoomCollection) {
                if (!recent || recentKey != recent->RoomId || recent->isMessageNotices ||
                    recent->RoomName.empty() || !roomOfPair(*recent, user, key))
                    continue;
                room.RoomId = recent->RoomId;
                room.RoomName = recent->RoomName;
                room.isChatRoomCreated = true;
                break;
            }
        }
        if (room.isChatRoomCreated && !room.RoomId.empty() &&
            !business_.sessionRequests().requestRoomMessage(room.RoomName, room.RoomId))
            platform::Log::warning("chat room {}: its messages could not be asked for", key);
    }
}

void SessionChat::MergeIntoConversations(const std::string& roomId, const std::vector<RoomMessageRow>& rows) {
    if (roomId.empty() || rows.empty())
        return;
    const std::string user = business_.loginData().userName().value_or("");
    for (auto& [key, held] : chat_.ChatRoomCollection) {
        if (!held || key == held->RoomId || held->isMessageNotices || held->RoomId != roomId)
            continue;
        ChatRoom& room = *held;
        // The row each entry is: by its message id, or the user's own text by its words.
        std::map<std::string_view, std::size_t> rowOfId;
        for (std::size_t j = 0; j < rows.size(); ++j)
            if (!rows[j].messageId.empty())
                rowOfId.emplace(rows[j].messageId, j);
        std::vector<bool> rowHeld(rows.size(), false);
        std::vector<std::optional<std::size_t>> entryRow(room.messages.size());
        for (std::size_t i = 0; i < room.messages.size(); ++i) {
            const auto found = rowOfId.find(room.messages[i].messageId);
            if (!room.messages[i].messageId.empty() && found != rowOfId.end() && !rowHeld[found->second]) {
                entryRow[i] = found->second;
                rowHeld[found->second] = true;
            }
        }
        bool changed = false;
        for (std::size_t i = 0; i < room.messages.size(); ++i) {
            ChatMessageEntry& own = room.messages[i];
            if (entryRow[i] || !own.messageId.empty() || user.empty() || own.sender != user)
                continue;
            for (std::size_t j = 0; j < rows.size(); ++j) {
                if (rowHeld[j] || rows[j].entry.sender != user ||
                    trimmedText(rows[j].entry.msg) != trimmedText(own.msg))
                    continue;
                // The server lists it: it reached the server.
                entryRow[i] = j;
                rowHeld[j] = true;
                own.messageId = rows[j].messageId;
                own.unconfirmed = false;
                // clang 14 does not capture a structured binding; an init-capture names it instead.
                std::erase_if(followed_, [&, &roomKey = key](const FollowedText& f) {
                    return f.roomKey == roomKey && own.ownNumber != 0 && f.ownNumber == own.ownNumber;
                });
                changed = true;
                break;
            }
        }
        if (!changed && std::ranges::all_of(rowHeld, [](bool h) { return h; }))
            continue;
        // The server's order for what it holds; the room's own entries (kept from before, or never
        // confirmed) where they stand.
        std::vector<ChatMessageEntry> merged;
        merged.reserve(room.messages.size() + rows.size());
        std::size_t next = 0;
        const auto rowsUpTo = [&](std::size_t end) {
            for (; next < end; ++next) {
                if (rowHeld[next])
                    continue;
                ChatMessageEntry entry = rows[next].entry;
                entry.messageId = rows[next].messageId;
                merged.push_back(std::move(entry));
            }
        };
        for (std::size_t i = 0; i < room.messages.size(); ++i) {
            if (entryRow[i] && *entryRow[i] >= next) {
                rowsUpTo(*entryRow[i]);
                next = *entryRow[i] + 1;
            }
            merged.push_back(std::move(room.messages[i]));
        }
        rowsUpTo(rows.size());
        if (merged.size() > kMaxTranscript)
            merged.erase(merged.begin(),
                         merged.begin() + static_cast<std::ptrdiff_t>(merged.size() - kMaxTranscript));
        room.messages = std::move(merged);
        Changed(Kind::Rewritten, key);
    }
}

void SessionChat::ForgetConfirmed() {
    const std::uint64_t answered = business_.pingsAnswered();
    std::erase_if(followed_,
                  [&](const FollowedText& f) { return f.pingsBefore && answered > *f.pingsBefore; });
}

std::vector<std::string> SessionChat::takeUnconfirmedTexts() {
    ForgetConfirmed();
    std::vector<std::string> lines;
    std::set<std::string> marked;
    for (const FollowedText& followed : std::exchange(followed_, {})) {
        auto* held = chat_.ChatRoomCollection.get(followed.roomKey);
        if (!held || !*held)
            continue;
        ChatRoom& room = **held;
        const auto entry = std::ranges::find_if(
            room.messages, [&](const ChatMessageEntry& e) { return e.ownNumber == followed.ownNumber; });
        if (entry == room.messages.end())
            continue;
        entry->unconfirmed = true;
        marked.insert(followed.roomKey);
        std::string name = room.RoomUserDisplayName;
        if (const auto* contact = chat_.UserChatCollection.get(followed.roomKey);
            contact && *contact && !(*contact)->DisplayName.empty())
            name = (*contact)->DisplayName;
        else if (const auto* queue = chat_.ChatQueueCollection.get(followed.roomKey); queue && *queue)
            name = (*queue)->QueueName;
        if (name.empty())
            name = followed.roomKey;
        lines.push_back(
            fillPositional(business_.textForKey(kUnconfirmedTextKey), {name, excerpt(entry->msg, 40)}));
    }
    for (const std::string& key : marked)
        Changed(Kind::Rewritten, key);
    return lines;
}

// ---- contacts, presence, queues

void SessionChat::FillChatGroupsAndUsers(const Fields& fields) {
    chat_.GroupChatCollection.clear();
    for (const TaggedField& f : taggedFields(fields)) {
        if (f.tag == kGroupsTable) {
            TableRead<ChatGroup> read = ChatTables::readGroups(f.value);
            for (ChatGroup& g : read.rows) {
                std::string id = g.GroupID;
                chat_.GroupChatCollection.insert_or_assign(std::move(id),
                                                           std::make_shared<ChatGroup>(std::move(g)));
            }
            if (read.ended)
                break;
        } else if (f.tag == kUsersTable) {
            TableRead<ChatUser> read = ChatTables::readUsers(f.value);
            for (ChatUser& u : read.rows) {
                auto user = std::make_shared<ChatUser>(std::move(u));
                if (auto* group = chat_.GroupChatCollection.get(user->GroupId); group && *group) {
                    user->Group = group->shared();
                    (*group)->GroupUsers.insert_or_assign(user->UserName, user);
                }
                if (chat_.UserChatCollection.contains(user->UserName))
                    continue;
                // Users stay for the login, so replies must not add without end.
                if (chat_.UserChatCollection.size() >= ChatCollections::kMaxUsers) {
                    platform::Log::warning("chat contacts are full ({}); new ones dropped",
                                           ChatCollections::kMaxUsers);
                    break;
                }
                chat_.UserChatCollection.insert_or_assign(user->UserName, user);
            }
            if (read.ended)
                break;
        } else if (f.tag == kQueuesTable) {
            for (ChatQueue& q : ChatTables::readQueues(f.value)) {
                if (chat_.ChatQueueCollection.contains(q.QueueId))
                    continue;
                if (chat_.ChatQueueCollection.size() >= ChatCollections::kMaxQueues) {
                    platform::Log::warning("support queues are full ({}); new ones dropped",
                                           ChatCollections::kMaxQueues);
                    break;
                }
                std::string id = q.QueueId;
                chat_.ChatQueueCollection.insert_or_assign(std::move(id),
                                                           std::make_shared<ChatQueue>(std::move(q)));
            }
        }
    }
    Changed(Kind::Contacts, {});
}

void SessionChat::UpdateChatUserStatus(const std::string& userName, const Fields& fields) {
    if (auto* user = chat_.UserChatCollection.get(userName); user && *user)
        records::readTagged(taggedFields(fields), kUserStatusLayout, **user);
    Changed(Kind::Status, userName);
}

void SessionChat::UpdateChatQueueStatus(const Fields& fields, const std::string& queueId) {
    if (auto* queue = chat_.ChatQueueCollection.get(queueId); queue && *queue)
        records::readTagged(taggedFields(fields), kQueueStatusLayout, **queue);
    Changed(Kind::Queue, queueId);
}

void SessionChat::UpdateChatResponseFromQueue(const Fields& fields, const std::string& queueId) {
    if (auto* queue = chat_.ChatQueueCollection.get(queueId); queue && *queue)
        records::readTagged(taggedFields(fields), kQueueReplyLayout, **queue);
    Changed(Kind::Queue, queueId);
}

} // namespace tc::chat
