// The chat reply tables: any bytes must read without a fault through every table reader.
#include "chat/chat_tables.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    using tc::chat::ChatTables;
    (void)ChatTables::readGroups(input);
    (void)ChatTables::readUsers(input);
    (void)ChatTables::readQueues(input);
    (void)ChatTables::readRecentConversations(input);
    (void)ChatTables::readOfflineNoticeRooms(input);
    for (const auto& row : ChatTables::readRoomMessages(input).rows)
        if (row.entry.msg.size() > input.size() * 3)
            std::abort();
    (void)ChatTables::displayNameOfList(input);
    (void)ChatTables::queueAgentOf(input);
    return 0;
}
