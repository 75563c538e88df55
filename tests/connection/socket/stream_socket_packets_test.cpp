#include "connection/socket/stream_socket_packets.h"
#include "connection/socket/stream_socket_pre_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace tc;

SocketData bytes(std::string_view text) {
    return SocketData(text.begin(), text.end());
}

void fill(StreamSocketPreBuffer& buffer, std::string_view text) {
    buffer.ensureCapacityForWrite(text.size());
    std::memcpy(buffer.writeBuffer(), text.data(), text.size());
    buffer.didWrite(text.size());
}

// Moves what a delimited read may take from the read-ahead buffer into the packet, like the engine.
std::size_t take(StreamReadPacket& packet, StreamSocketPreBuffer& buffer, bool& found) {
    std::size_t n = packet.readLengthForTermWithPreBuffer(buffer, found);
    packet.ensureCapacityForAdditionalDataOfLength(n);
    std::memcpy(packet.writePosition(), buffer.readBuffer(), n);
    buffer.didRead(n);
    packet.bytesDone += n;
    return n;
}

TEST(StreamSocketPreBufferTest, GrowsByTheShortfallAndRewindsWhenDrained) {
    StreamSocketPreBuffer buffer(8);
    fill(buffer, "abcdef");
    EXPECT_EQ(buffer.availableSpace(), 2u);
    buffer.ensureCapacityForWrite(5); // 3 short
    EXPECT_EQ(buffer.size(), 11u);
    fill(buffer, "ghijk");
    buffer.didRead(4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.readBuffer()), buffer.availableBytes()),
              "efghijk");
    // Space before the read position is not reused while bytes remain...
    EXPECT_EQ(buffer.availableSpace(), 0u);
    buffer.didRead(7);
    // ...but an emptied buffer starts over at the front.
    EXPECT_EQ(buffer.availableBytes(), 0u);
    EXPECT_EQ(buffer.availableSpace(), 11u);
}

TEST(StreamReadPacketTest, DelimiterInsideOneChunkLeavesTheRestBuffered) {
    StreamSocketPreBuffer buffer(16);
    fill(buffer, "ab\r\ncd");
    StreamReadPacket packet(nullptr, 0, 0, -1, 0, bytes("\r\n"), 0);
    bool found = false;
    EXPECT_EQ(take(packet, buffer, found), 4u);
    EXPECT_TRUE(found);
    EXPECT_EQ(buffer.availableBytes(), 2u);
}

TEST(StreamReadPacketTest, DelimiterSplitAcrossChunksIsFound) {
    StreamReadPacket packet(nullptr, 0, 0, -1, 0, bytes("<END>"), 0);
    StreamSocketPreBuffer buffer(16);
    bool found = true;
    fill(buffer, "xy<E");
    EXPECT_EQ(take(packet, buffer, found), 4u);
    EXPECT_FALSE(found);
    fill(buffer, "N");
    EXPECT_EQ(take(packet, buffer, found), 1u);
    EXPECT_FALSE(found);
    fill(buffer, "D>tail");
    EXPECT_EQ(take(packet, buffer, found), 2u);
    EXPECT_TRUE(found);
    EXPECT_EQ(std::string(packet.buffer->begin(), packet.buffer->begin() + 7), "xy<END>");
    EXPECT_EQ(buffer.availableBytes(), 4u);
}

TEST(StreamReadPacketTest, OverlappingPrefixDoesNotHideTheDelimiter) {
    // "aab" is held; the terminator "aab" + ... must be matched on the earliest complete occurrence.
    StreamReadPacket packet(nullptr, 0, 0, -1, 0, bytes("abab"), 0);
    StreamSocketPreBuffer buffer(16);
    bool found = true;
    fill(buffer, "xaba");
    take(packet, buffer, found);
    EXPECT_FALSE(found);
    fill(buffer, "babz");
    EXPECT_EQ(take(packet, buffer, found), 1u); // "xaba" + "b" ends with "abab"
    EXPECT_TRUE(found);
}

TEST(StreamReadPacketTest, DelimitedReadNeverTakesMoreThanItsMaximum) {
    StreamReadPacket packet(nullptr, 0, 8, -1, 0, bytes("\r\n"), 0);
    StreamSocketPreBuffer buffer(16);
    fill(buffer, "0123456789\r\n");
    bool found = true;
    EXPECT_EQ(take(packet, buffer, found), 8u);
    EXPECT_FALSE(found);
    EXPECT_EQ(packet.bytesDone, packet.maxLength);
}

TEST(StreamReadPacketTest, NonDelimitedLengthsRespectRemainingAndMaximum) {
    StreamReadPacket fixed(nullptr, 0, 0, -1, 100, std::nullopt, 0);
    fixed.bytesDone = 60;
    EXPECT_EQ(fixed.readLengthForNonTermWithHint(500), 40u);
    EXPECT_EQ(fixed.readLengthForNonTermWithHint(10), 10u);
    StreamReadPacket capped(nullptr, 0, 16, -1, 0, std::nullopt, 0);
    capped.bytesDone = 10;
    EXPECT_EQ(capped.readLengthForNonTermWithHint(100), 6u);
    StreamReadPacket any(nullptr, 0, 0, -1, 0, std::nullopt, 0);
    EXPECT_EQ(any.readLengthForNonTermWithHint(12345), 12345u);
}

TEST(StreamReadPacketTest, CallersBufferKeepsItsPrefix) {
    auto buffer = std::make_shared<SocketData>(bytes("HEAD"));
    StreamReadPacket packet(buffer, 4, 0, -1, 3, std::nullopt, 0);
    EXPECT_FALSE(packet.bufferOwner);
    EXPECT_EQ(packet.originalBufferLength, 4u);
    packet.ensureCapacityForAdditionalDataOfLength(3);
    std::memcpy(packet.writePosition(), "abc", 3);
    EXPECT_EQ(std::string(buffer->begin(), buffer->end()), "HEADabc");
}

} // namespace
