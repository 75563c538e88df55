#include "chat/chat_tables.h"

#include "chat/rtf_reader.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
#include "platform/log.h"
#include "wire/separators.h"

namespace tc::chat {
namespace {

using namespace records;

std::vector<std::string_view> rowsOf(std::string_view table, std::string_view what) {
    bool truncated = false;
    auto rows = nonEmptyPieces(table, wire::kRecord, ChatTables::kMaxRows, &truncated);
    if (truncated)
        platform::Log::warning("{} table cut at {} rows", what, ChatTables::kMaxRows);
    return rows;
}

// A notice names its title; a conversation leaves the column empty.
void noticeTitle(ChatRoom& r, std::string_view title) {
    if (title.empty())
        return;
    r.MessageTitle = std::string(title);
    r.isMessageNotices = true;
}

constexpr auto kGroupLayout =
    recordLayout(text(0, &ChatGroup::GroupID), text(1, &ChatGroup::GroupName), text(2, &ChatGroup::ParentID));

constexpr auto kUserLayout = recordLayout(
    text(0, &ChatUser::UserID), text(1, &ChatUser::UserName),
    text(2, [](ChatUser& u, std::string_view status) { u.setStatus(status); }), text(4, &ChatUser::GroupId),
    text(5, [](ChatUser& u, std::string_view listed) { u.IsUserInMyContactList = listed == "1"; }),
    text(7, &ChatUser::DisplayName));

constexpr auto kQueueLayout = recordLayout(text(0, &ChatQueue::QueueId), text(1, &ChatQueue::QueueName),
                                           flag(2, &ChatQueue::isAgent), flag(3, &ChatQueue::isAvailable));

constexpr auto kRecentConversationLayout =
    recordLayout(text(0, &ChatRoom::SenderName),
                 // The last text may come as the RTF document it was sent as: the lists show its plain text.
                 text(1,
                      [](ChatRoom& r, std::string_view message) {
                          r.Message = message.starts_with("{\\rtf") ? RtfReader::ConvertRTFToString(message)
                                                                    : std::string(message);
                      }),
                 text(2, &ChatRoom::RoomUsers), time(3, &ChatRoom::chatTime), text(4, &ChatRoom::RoomId),
                 text(5, &ChatRoom::RoomName), text(7, noticeTitle), text(8, &ChatRoom::RoomUserDisplayName));

// An offline message row has a recent conversation's columns; only its room and title count.
constexpr auto kOfflineNoticeLayout = recordLayout(text(4, &ChatRoom::RoomId), text(7, noticeTitle));

// A plain text stays as it came; an RTF document gives its plain text.
std::string plainTextOf(std::string_view message) {
    return message.starts_with("{\\rtf") ? RtfReader::ConvertRTFToString(message) : std::string(message);
}

constexpr auto kOfflineChatLayout = recordLayout(
    text(0, [](OfflineChatRow& m, std::string_view sender) { m.entry.sender = std::string(sender); }),
    text(1, [](OfflineChatRow& m, std::string_view message) { m.entry.msg = plainTextOf(message); }),
    time(3, [](OfflineChatRow& m, std::optional<WallTime> at) { m.entry.time = at; }),
    text(4, &OfflineChatRow::roomId), text(5, &OfflineChatRow::roomName), text(6, &OfflineChatRow::messageId),
    text(8, [](OfflineChatRow& m, std::string_view name) {
        if (!name.empty())
            m.entry.senderDisplayName = std::string(name);
    }));

constexpr auto kRoomMessageLayout = recordLayout(
    text(0, &RoomMessageRow::messageId),
    text(1, [](RoomMessageRow& m, std::string_view sender) { m.entry.sender = std::string(sender); }),
    text(2,
         [](RoomMessageRow& m, std::string_view rtf) { m.entry.msg = RtfReader::ConvertRTFToString(rtf); }),
    time(3, [](RoomMessageRow& m, std::optional<WallTime> at) { m.entry.time = at; }),
    text(4, [](RoomMessageRow& m, std::string_view name) { m.entry.senderDisplayName = std::string(name); }));

constexpr auto kDisplayNameLayout = recordLayout(
    text(1, [](std::optional<std::string>& name, std::string_view shown) { name = std::string(shown); }));

} // namespace

TableRead<ChatGroup> ChatTables::readGroups(std::string_view table) {
    TableRead<ChatGroup> read;
    bool first = true;
    for (std::string_view row : rowsOf(table, "group")) {
        const RecordFields f(row);
        if (f.size() < 3) {
            if (!first) {
                read.ended = true;
                break;
            }
            first = false;
            continue;
        }
        first = false;
        ChatGroup g;
        readRecord(f, kGroupLayout, g);
        read.rows.push_back(std::move(g));
    }
    return read;
}

TableRead<ChatUser> ChatTables::readUsers(std::string_view table) {
    TableRead<ChatUser> read;
    for (std::string_view row : rowsOf(table, "user")) {
        const RecordFields f(row);
        if (f.size() < 8) {
            read.ended = true;
            break;
        }
        ChatUser u;
        readRecord(f, kUserLayout, u);
        read.rows.push_back(std::move(u));
    }
    return read;
}

std::vector<ChatQueue> ChatTables::readQueues(std::string_view table) {
    std::vector<ChatQueue> queues;
    for (std::string_view row : rowsOf(table, "queue")) {
        const RecordFields f(row);
        if (f.size() < 3)
            continue;
        ChatQueue q;
        readRecord(f, kQueueLayout, q);
        if (q.hasUsableId())
            queues.push_back(std::move(q));
    }
    return queues;
}

std::vector<ChatRoom> ChatTables::readRecentConversations(std::string_view table) {
    std::vector<ChatRoom> rooms;
    for (std::string_view row : rowsOf(table, "recent conversation")) {
        ChatRoom r;
        readRecord(RecordFields(row), kRecentConversationLayout, r);
        rooms.push_back(std::move(r));
    }
    return rooms;
}

std::vector<std::string> ChatTables::readOfflineNoticeRooms(std::string_view table) {
    std::vector<std::string> rooms;
    for (std::string_view row : rowsOf(table, "offline message")) {
        const RecordFields f(row);
        if (f.size() < 8)
            continue;
        ChatRoom r;
        readRecord(f, kOfflineNoticeLayout, r);
        if (r.isMessageNotices)
            rooms.push_back(std::move(r.RoomId));
    }
    return rooms;
}

std::vector<OfflineChatRow> ChatTables::readOfflineChatMessages(std::string_view table) {
    std::vector<OfflineChatRow> messages;
    for (std::string_view row : rowsOf(table, "offline message")) {
        const RecordFields f(row);
        if (f.size() < 6 || !f.text(7).empty())
            continue;
        OfflineChatRow m;
        readRecord(f, kOfflineChatLayout, m);
        if (!m.entry.sender.empty() && !m.roomId.empty() && !m.roomName.empty())
            messages.push_back(std::move(m));
    }
    return messages;
}

TableRead<RoomMessageRow> ChatTables::readRoomMessages(std::string_view table) {
    TableRead<RoomMessageRow> read;
    for (std::string_view row : rowsOf(table, "room message")) {
        const RecordFields f(row);
        if (f.size() < 4) {
            read.ended = true;
            break;
        }
        RoomMessageRow m;
        readRecord(f, kRoomMessageLayout, m);
        read.rows.push_back(std::move(m));
    }
    return read;
}

std::optional<std::string> ChatTables::displayNameOfList(std::string_view list) {
    const std::string_view first = list.substr(0, list.find(';'));
    std::optional<std::string> name;
    readRecord(RecordFields(first), kDisplayNameLayout, name);
    return name;
}

std::optional<std::string> ChatTables::queueAgentOf(std::string_view roomUsers) {
    const std::size_t first = roomUsers.find(';');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = roomUsers.substr(first + 1);
    return std::string(rest.substr(0, rest.find(';')));
}

} // namespace tc::chat
