#include "chat/chat_tables.h"

#include "chat/rtf_reader.h"
#include "model/records/record_fields.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "wire/separators.h"

namespace tc::chat {
namespace {

std::vector<std::string_view> rowsOf(std::string_view table, std::string_view what) {
    bool truncated = false;
    auto rows = nonEmptyPieces(table, wire::kRecord, ChatTables::kMaxRows, &truncated);
    if (truncated)
        platform::Log::warning("{} table cut at {} rows", what, ChatTables::kMaxRows);
    return rows;
}

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
        f.readText(0, g.GroupID);
        f.readText(1, g.GroupName);
        f.readText(2, g.ParentID);
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
        f.readText(0, u.UserID);
        f.readText(1, u.UserName);
        u.setStatus(f.text(2));
        f.readText(4, u.GroupId);
        u.IsUserInMyContactList = f.text(5) == "1";
        f.readText(7, u.DisplayName);
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
        f.readText(0, q.QueueId);
        f.readText(1, q.QueueName);
        f.readBool(2, q.isAgent);
        f.readBool(3, q.isAvailable);
        if (q.hasUsableId())
            queues.push_back(std::move(q));
    }
    return queues;
}

std::vector<ChatRoom> ChatTables::readRecentConversations(std::string_view table) {
    std::vector<ChatRoom> rooms;
    for (std::string_view row : rowsOf(table, "recent conversation")) {
        const RecordFields f(row);
        ChatRoom r;
        f.readText(0, r.SenderName);
        f.readText(1, r.Message);
        // The last text may come as the RTF document it was sent as: the lists show its plain text.
        if (r.Message.starts_with("{\\rtf"))
            r.Message = RtfReader::ConvertRTFToString(r.Message);
        f.readText(2, r.RoomUsers);
        r.chatTime = chatTimeOf(f.text(3));
        f.readText(4, r.RoomId);
        f.readText(5, r.RoomName);
        if (!f.text(7).empty()) {
            r.MessageTitle = std::string(f.text(7));
            r.isMessageNotices = true;
        }
        f.readText(8, r.RoomUserDisplayName);
        rooms.push_back(std::move(r));
    }
    return rooms;
}

std::vector<std::string> ChatTables::readOfflineNoticeRooms(std::string_view table) {
    std::vector<std::string> rooms;
    for (std::string_view row : rowsOf(table, "offline message")) {
        const RecordFields f(row);
        if (f.size() >= 8 && !f.text(7).empty())
            rooms.emplace_back(f.text(4));
    }
    return rooms;
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
        f.readText(0, m.messageId);
        f.readText(1, m.entry.sender);
        m.entry.msg = RtfReader::ConvertRTFToString(f.text(2));
        m.entry.time = chatTimeOf(f.text(3));
        if (f.has(4))
            m.entry.senderDisplayName = std::string(f.text(4));
        read.rows.push_back(std::move(m));
    }
    return read;
}

std::optional<std::string> ChatTables::displayNameOfList(std::string_view list) {
    const std::string_view first = list.substr(0, list.find(';'));
    const RecordFields f(first);
    if (!f.has(1))
        return std::nullopt;
    return std::string(f.text(1));
}

std::optional<std::string> ChatTables::queueAgentOf(std::string_view roomUsers) {
    const std::size_t first = roomUsers.find(';');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = roomUsers.substr(first + 1);
    return std::string(rest.substr(0, rest.find(';')));
}

} // namespace tc::chat
