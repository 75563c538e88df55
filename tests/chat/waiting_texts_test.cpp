#include "chat/waiting_texts.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;

using namespace tc::chat;

std::vector<std::string> texts(const std::vector<ChatSend>& sends) {
    std::vector<std::string> out;
    for (const auto& s : sends)
        out.push_back(s.kind == ChatSend::Kind::RoomRequest ? "request " + s.roomKey
                                                            : s.roomId + "/" + s.roomName + ":" + s.text);
    return out;
}

TEST(WaitingTexts, TextsTypedBeforeTheRoomExistsGoOutInOrderOnce) {
    WaitingTexts w;
    EXPECT_EQ(texts(w.submit("bob", "one", nullptr).sends), (std::vector<std::string>{"request bob"}));
    const WaitingTexts::Room placeholder; // stored, not confirmed
    EXPECT_TRUE(w.submit("bob", "two", &placeholder).sends.empty());
    EXPECT_EQ(w.waitingCount("bob"), 2u);
    EXPECT_EQ(texts(w.roomCreated({"bob", "me;bob", "R1", "room/1"})),
              (std::vector<std::string>{"R1/room/1:one", "R1/room/1:two"}));
    // Cleared: a second confirmation sends nothing again, nor "(null)".
    EXPECT_TRUE(w.roomCreated({"bob", "me;bob", "R1", "room/1"}).empty());
    EXPECT_FALSE(w.isRoomRequested("bob"));
    const WaitingTexts::Room confirmed{true, "R1", "room/1"};
    EXPECT_EQ(texts(w.submit("bob", "three", &confirmed).sends),
              (std::vector<std::string>{"R1/room/1:three"}));
}

TEST(WaitingTexts, ARoomWithNothingWaitingSendsNothing) {
    WaitingTexts w;
    EXPECT_TRUE(w.roomCreated({"alice", "", "R2", "room2"}).empty());
}

TEST(WaitingTexts, AFailedOrIncompleteRoomIsAskedForAgain) {
    WaitingTexts w;
    w.submit("q7", "help", nullptr);
    w.roomRequestFailed("q7");
    EXPECT_EQ(texts(w.submit("q7", "please", nullptr).sends), (std::vector<std::string>{"request q7"}));
    // A confirmation without a room id or name cannot take the texts: they keep waiting.
    EXPECT_TRUE(w.roomCreated({"q7", "", "", "room"}).empty());
    EXPECT_EQ(w.waitingCount("q7"), 2u);
    EXPECT_EQ(texts(w.submit("q7", "again", nullptr).sends), (std::vector<std::string>{"request q7"}));
}

TEST(WaitingTexts, RefusesEmptyTextsAndEndlessQueues) {
    WaitingTexts w;
    EXPECT_FALSE(w.submit("bob", "", nullptr).error.empty());
    for (std::size_t i = 0; i < WaitingTexts::kMaxWaitingPerRoom; ++i)
        ASSERT_TRUE(w.submit("bob", "t", nullptr).error.empty());
    EXPECT_FALSE(w.submit("bob", "one more", nullptr).error.empty());
    EXPECT_EQ(w.waitingCount("bob"), WaitingTexts::kMaxWaitingPerRoom);
}

} // namespace
