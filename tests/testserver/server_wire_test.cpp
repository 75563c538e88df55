// The server's framing, envelope and compressed payload, read back with the independent peer codec.
#include "testserver/server_peer.h"

#include "server_wire.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerWire, FrameLengthCountsUtf16Units) {
    // "é" and "€" are one unit each, the emoji two: the value is 4 units in 9 bytes, the body 17 units.
    const std::string framed =
        testserver::frameFields({{10, "1019"}, {105, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}});
    const std::string body = "10=1019\x03"
                             "105=\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x03";
    EXPECT_EQ(framed, "\x01"
                      "17\x03" +
                          body + "\x02");
    EXPECT_EQ(testserver::frameFields({}), std::string("\x01"
                                                       "0\x03\x02"));
}

TEST(ServerWire, EnvelopeOpensWithTheSameKeyOnly) {
    const std::string framed = testserver::frameFields({{10, "18"}, {20, "0"}, {21, "20240102030405"}});
    auto sealed = testserver::sealEnvelope(framed, "key one");
    ASSERT_TRUE(sealed);
    auto outer = peer::frames(*sealed);
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0].type(), 76);
    EXPECT_EQ(outer[0].fields.size(), 2u) << "a reply envelope carries tags 10 and 27 only";
    EXPECT_EQ(outer[0].length, std::to_string(outer[0].bodyText.size()));
    EXPECT_EQ(peer::open(outer[0].at(27), "key one"), framed);
    EXPECT_FALSE(peer::open(outer[0].at(27), "key two"));
    EXPECT_FALSE(testserver::sealEnvelope(framed, ""));
}

TEST(ServerWire, CompressedPayloadInflatesBehindFourLengthBytes) {
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "EURUSD\x05"
                "1.08500\x06";
    auto payload = testserver::compressPayload(text);
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->find("1050="), std::string::npos);
    EXPECT_EQ(peer::decompress(*payload), text);
    const auto raw = peer::unbase64(*payload);
    ASSERT_TRUE(raw);
    ASSERT_GE(raw->size(), 6u);
    const std::uint32_t length =
        (*raw)[0] | (*raw)[1] << 8 | (*raw)[2] << 16 | static_cast<std::uint32_t>((*raw)[3]) << 24;
    EXPECT_EQ(length, text.size());
    EXPECT_EQ((*raw)[4], 0x1F) << "a gzip stream follows";
    EXPECT_EQ((*raw)[5], 0x8B);
    EXPECT_EQ(peer::decompress(*testserver::compressPayload("")), "");
}

} // namespace
