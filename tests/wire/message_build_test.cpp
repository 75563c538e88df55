#include "support/capturing_sender.h"
#include "support/wire_text.h"
#include "wire/message_builders.h"

#include "wire/envelope_opener.h"
#include "wire/message_golden.h"

#include "platform/log.h"
#include "support/log_capture.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using namespace tc;

using namespace golden;
using testing_support::wireText;

using FakeSender = testing_support::CapturingSender;

using testing_support::LogCapture;

void fillCommon(MessageBase& m) {
    m.setValue(23, "jdoe");
    m.setValue(19, "REF77");
    m.setValue(21, "20240315093000");
}

TEST(BuildMessage, ControlMessageGoesPlainToTheRequestSocket) {
    FakeSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.setMessageType(1002);
    m.setValue(10, 1002);
    fillCommon(m);
    EXPECT_TRUE(m.BuildMessage(17));
    ASSERT_EQ(sender.sent.size(), 1u);
    const RequestMessage& r = sender.sent[0];
    EXPECT_TRUE(r.isZMQ);
    EXPECT_EQ(r.requestSequence, 17u) << "the request it answers travels with it";
    EXPECT_EQ(std::tuple(r.framingStrategy, r.receivingStrategy, r.message),
              std::tuple(0, 0, wireText("<B>43<F>10=1002<F>23=jdoe<F>19=REF77<F>21=20240315093000<F><E>")));
    EXPECT_EQ(m.messageLength(), 43u);
    EXPECT_TRUE(m.messageDataDictionary().empty());
    EXPECT_EQ(m.messageType(), 1002);
}

TEST(BuildMessage, DataServiceRequestsGoPlainAndOnlyTheDownloadWaitsForSeveralFrames) {
    for (int sub = 0; sub <= 13; ++sub) {
        SCOPED_TRACE(fmt::format("sub-type {}", sub));
        FakeSender sender;
        MessageBase m;
        m.setSender(&sender);
        m.setMessageType(1023);
        m.setDsRequestType(sub);
        m.setValue(10, 1023);
        m.setValue(151, "getopenpositions");
        m.BuildMessage();
        ASSERT_EQ(sender.sent.size(), 1u);
        EXPECT_EQ(std::tuple(sender.sent[0].isZMQ, sender.sent[0].framingStrategy,
                             sender.sent[0].receivingStrategy),
                  std::tuple(true, 0, sub == 12 ? 1 : 0));
        EXPECT_EQ(sender.sent[0].message.rfind(wireText("<B>"), 0), 0u);
        // The sub-type stays for the reply side to read.
        EXPECT_EQ(m.dsRequestType(), sub);
        EXPECT_TRUE(m.messageDataDictionary().empty());
    }
}

TEST(BuildMessage, NothingToSendStillEmptiesTheDictionaryAndKeepsTheSubtypes) {
    struct Case {
        std::int64_t type;
        int newOrder, editOrder, ds;
    };
    for (const Case& c :
         {Case{60, 2, 0, 0}, Case{609, 0, 0, 0}, Case{610, 0, 0, 0}, Case{611, 0, 0, 0}, Case{612, 0, 0, 0},
          Case{614, 0, 0, 0}, Case{616, 0, 0, 0}, Case{72, 0, 3, 0}, Case{1023, 0, 0, 14}}) {
        SCOPED_TRACE(c.type);
        FakeSender sender;
        MessageBase m;
        m.setSender(&sender);
        m.setMessageType(c.type);
        m.setNewOrderRequestType(c.newOrder);
        m.setEditOrderRequestType(c.editOrder);
        m.setDsRequestType(c.ds);
        m.setValue(10, c.type);
        fillCommon(m);
        EXPECT_FALSE(m.BuildMessage());
        EXPECT_TRUE(sender.sent.empty());
        EXPECT_TRUE(sender.events.empty());
        EXPECT_TRUE(m.messageDataDictionary().empty());
        EXPECT_EQ(m.messageType(), c.type);
        EXPECT_EQ(m.newOrderRequestType(), c.newOrder);
        EXPECT_EQ(m.editOrderRequestType(), c.editOrder);
        EXPECT_EQ(m.dsRequestType(), c.ds);
    }
}

TEST(BuildMessage, WithoutASenderNothingIsSent) {
    LogCapture log;
    MessageBase m;
    m.setMessageType(1002);
    m.setValue(10, 1002);
    EXPECT_FALSE(m.BuildMessage()); // must not crash
    EXPECT_TRUE(m.messageDataDictionary().empty());
    ASSERT_FALSE(log.entries().empty());
    EXPECT_EQ(log.entries().back().first, platform::LogLevel::Debug);
}

TEST(BuildMessage, SeparatorInAValueRefusesTheMessageAndSaysWhere) {
    LogCapture log;
    FakeSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.setMessageType(1023);
    m.setDsRequestType(2);
    m.setValue(10, 1023);
    m.setValue(551, wireText("#DWR<F>34=666"));
    fillCommon(m);
    EXPECT_FALSE(m.BuildMessage());
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_TRUE(m.messageDataDictionary().empty());
    EXPECT_EQ(m.dsRequestType(), 2);
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].first, platform::LogLevel::Warning);
    EXPECT_NE(log.entries()[0].second.find("1023"), std::string::npos);
    EXPECT_NE(log.entries()[0].second.find("tag 551"), std::string::npos);
    // The offending value is not copied into the log.
    EXPECT_EQ(log.entries()[0].second.find("DWR"), std::string::npos);
}

TEST(BuildMessage, AFailingSendEndsQuietly) {
    LogCapture log;
    FakeSender sender;
    sender.throwOnSend = true;
    MessageBase m;
    m.setSender(&sender);
    m.setMessageType(1040);
    m.setValue(10, 1040);
    EXPECT_NO_THROW(m.BuildMessage());
    EXPECT_TRUE(m.messageDataDictionary().empty());
    EXPECT_EQ(m.messageType(), 1040);
    EXPECT_TRUE(log.entries().empty());
}

// The envelope a stream builder handed over: its fields, and its tag 27 opened with the key.
struct OpenedEnvelope {
    MessageBase::Dictionary fields;
    std::size_t fieldCount = 0;
    std::string inner;
};

OpenedEnvelope openEnvelope(const RequestMessage& r, std::string_view key) {
    OpenedEnvelope out;
    EXPECT_FALSE(r.isZMQ);
    EXPECT_GE(r.message.size(), 2u);
    if (r.message.size() < 2)
        return out;
    EXPECT_EQ(r.message.front(), '\x01');
    EXPECT_EQ(r.message.back(), '\x02');
    MessageBase envelope;
    EXPECT_EQ(envelope.loadFrame(std::string_view(r.message).substr(1, r.message.size() - 2)), 76);
    out.fields = envelope.messageDataDictionary();
    out.fieldCount = envelope.messageArray().size() - 1; // the body ends in 0x03: last piece is empty
    if (const std::string* sealed = envelope.value(27)) {
        if (auto opened = openEncryptedEnvelope(*sealed, key))
            out.inner = std::move(*opened);
    }
    return out;
}

// The frames themselves are the golden layouts, checked sealed below and composed in message_builders_test.
TEST(BuildMessage, PingIsReportedAndThenSealedWithTheSessionKey) {
    FakeSender sender;
    MessageBase m = messageOf(1018);
    m.setSender(&sender);
    setFields(m, "10=1018|20=5|21=20240102030405");
    m.BuildMessage();
    // pingSent comes just before the hand-over: a reply handled on the stream thread before the
    // send returned would otherwise be timed against the previous ping.
    EXPECT_EQ(sender.events, (std::vector<std::string>{"pingSent", "send"}));
    ASSERT_EQ(sender.sent.size(), 1u);
    const OpenedEnvelope e = openEnvelope(sender.sent[0], "session-key-4567");
    EXPECT_EQ(e.fields.count(1153), 0u);
    EXPECT_EQ(e.inner, wireText("<B>31<F>10=1018<F>20=5<F>21=20240102030405<F><E>"));
}

TEST(BuildMessage, LoginIsSealedWithTheProductKeyInTheInitialEnvelope) {
    FakeSender sender;
    MessageBase m = messageOf(32);
    m.setSender(&sender);
    m.setMessageDataDictionary(everyTag(32));
    m.BuildMessage();
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.events, (std::vector<std::string>{"send"}));
    const OpenedEnvelope e = openEnvelope(sender.sent[0], "product-key-0123");
    EXPECT_EQ(e.fields.at(1153), "2");
    EXPECT_EQ(e.fields.at(1132), "2");
    // The envelope's length is what the message remembers last.
    const std::string& framed = sender.sent[0].message;
    EXPECT_EQ(std::to_string(m.messageLength()), framed.substr(1, framed.find('\x03') - 1));
}

TEST(BuildMessage, EveryStreamBuilderHandsOverItsGoldenFrameSealed) {
    std::size_t streamBuilders = 0;
    for (const Golden& g : goldenLayouts()) {
        if (g.route == Route::Socket || g.route == Route::SocketMultiFrame)
            continue;
        SCOPED_TRACE(fmt::format("{} sub-type {}", g.builder, g.sub));
        ++streamBuilders;
        FakeSender sender;
        MessageBase m = messageOf(g.type, g.field, g.sub);
        m.setSender(&sender);
        m.setMessageDataDictionary(everyTag(g.type));
        m.BuildMessage();
        ASSERT_EQ(sender.sent.size(), 1u);
        const bool initial = g.route == Route::Initial;
        const OpenedEnvelope e =
            openEnvelope(sender.sent[0], initial ? "product-key-0123" : "session-key-4567");
        EXPECT_EQ(e.fieldCount, initial ? 4u : 2u);
        EXPECT_EQ(e.inner, asciiFrame(g.fields));
        EXPECT_TRUE(m.messageDataDictionary().empty());
        EXPECT_EQ(m.messageType(), g.type);
    }
    // 21 stream builders, the working-order edit counted once per sub-type.
    EXPECT_EQ(streamBuilders, 22u);
}

TEST(BuildMessage, EveryRequestSocketBuilderHandsOverItsGoldenFramePlain) {
    std::size_t socketBuilders = 0;
    for (const Golden& g : goldenLayouts()) {
        if (g.route != Route::Socket && g.route != Route::SocketMultiFrame)
            continue;
        SCOPED_TRACE(fmt::format("{} sub-type {}", g.builder, g.sub));
        ++socketBuilders;
        FakeSender sender;
        MessageBase m = messageOf(g.type, g.field, g.sub);
        m.setSender(&sender);
        m.setMessageDataDictionary(everyTag(g.type));
        m.BuildMessage();
        ASSERT_EQ(sender.sent.size(), 1u);
        EXPECT_EQ(std::tuple(sender.sent[0].isZMQ, sender.sent[0].receivingStrategy, sender.sent[0].message),
                  std::tuple(true, g.route == Route::SocketMultiFrame ? 1 : 0, asciiFrame(g.fields)));
        EXPECT_EQ(sender.events, (std::vector<std::string>{"send"}));
    }
    EXPECT_EQ(socketBuilders, 16u);
}

TEST(BuildMessage, RefusedOrderIsNotSealedEither) {
    LogCapture log;
    FakeSender sender;
    MessageBase m = messageOf(60, Sub::NewOrder, 0);
    m.setSender(&sender);
    m.setMessageDataDictionary(everyTag(60));
    m.setValue(37, wireText("100<F>37=1"));
    m.BuildMessage();
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_TRUE(m.messageDataDictionary().empty());
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_NE(log.entries()[0].second.find("BuildPlaceNewOrderRequestMessage"), std::string::npos);
    EXPECT_NE(log.entries()[0].second.find("tag 37"), std::string::npos);
}

} // namespace
