// Envelope golden values were computed outside this code base: the key and IV with
//   python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', KEY, bytes(range(len(KEY)+1)), 1000,
//   32).hex())"
// and the tag-27 text with
//   printf '<framed message>' | openssl enc -aes-256-cbc -K <key hex> -iv <first 16 bytes> | base64 -w0
#include "platform/message_cipher.h"
#include "support/capturing_sender.h"
#include "support/wire_text.h"
#include "wire/envelope_opener.h"
#include "wire/message_base.h"
#include "wire/stream_deframer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;
using testing_support::wireText;

const std::string kSessionKey =
    "Bu5fr9qBVR+KDtQPOzOiReyjI/L7/ZySpc2mcNhILA7/MJzSJfVuY2z/xK1NQOdzWY5LpZX1gIrJzk83jkgnqQ==";
const std::string kProductKey = "Prod#Key-2024";

const std::string kLoginFrame =
    wireText("<B>142<F>10=32<F>23=trader1<F>18=s3cret<F>20=0<F>19=1<F>563=TradeDesk<F>114=2.4.1<F>105=192."
             "168.1.20<F>1018=deskpc#Debian 12<F>504=Jane Trader<F>160=AMP<F>21=20240102030405<F><E>");
const std::string kPingFrame = wireText("<B>31<F>10=1018<F>20=5<F>21=20240102030405<F><E>");

// The sender with this file's keys.
struct RecordingSender : testing_support::CapturingSender {
    RecordingSender() {
        productKey = kProductKey;
        sessionKey = kSessionKey;
    }
};

// The single frame of an envelope, read back into its fields.
MessageBase readEnvelope(const std::string& framed) {
    StreamDeframer d;
    const auto frames = d.feed(framed);
    EXPECT_EQ(frames.size(), 1u);
    MessageBase in;
    if (!frames.empty())
        in.loadFrame(frames[0]);
    return in;
}

std::string tag27(const std::string& framed) {
    const MessageBase in = readEnvelope(framed);
    const std::string* v = in.value(27);
    return v ? *v : std::string{};
}

TEST(MessageEnvelope, InitialRequestCarriesFourFieldsSealedWithTheProductKey) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.EncryptMessage(kLoginFrame, true, false);
    ASSERT_EQ(sender.sent.size(), 1u);

    const std::string b64 = "PlpFOOtearLEIEb4IbgdtrW0de4hJLx7U+WqjSQIhWmEu+4KjHLOpLZJNYC8Y1It5+ORIMa22FyFfh/"
                            "lapG5aYmtg/hvjLe4wMdEaJdM1CRAt1IpFHe1KJkKiw8tU9eeVD4FnkiGQayucUQSqoO66vuMY0zkvj"
                            "Sl0n9cV7XVM669SMbew94sZH6cTQB2ZFPqJLcwbA7xI1G9JBsV/yjOLw==";
    const std::string body = wireText("10=76<F>27=") + b64 + wireText("<F>1153=2<F>1132=2<F>");
    ASSERT_EQ(body.size(), 240u);
    EXPECT_EQ(std::tuple(sender.sent[0].message, sender.sent[0].isZMQ, sender.sent[0].framingStrategy,
                         sender.sent[0].receivingStrategy),
              std::tuple(wireText("<B>240<F>") + body + wireText("<E>"), false, 0, 0));
    EXPECT_EQ(m.messageLength(), 240u);
    EXPECT_EQ(readEnvelope(sender.sent[0].message).messageDataDictionary(),
              (MessageBase::Dictionary{{10, "76"}, {27, b64}, {1132, "2"}, {1153, "2"}}));
}

TEST(MessageEnvelope, OtherRequestsCarryTwoFieldsSealedWithTheSessionKey) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.EncryptMessage(kPingFrame, false, false);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(
        sender.sent[0].message,
        wireText(
            "<B>74<F>10=76<F>27=va3S6cDDno6E9QD93pqMld59LA+AMCa0NBIImQSzsKit7fvmCuIHb9Xfra57JznK<F><E>"));
    EXPECT_EQ(m.messageLength(), 74u);
    EXPECT_EQ(readEnvelope(sender.sent[0].message).messageDataDictionary().size(), 2u);
}

TEST(MessageEnvelope, ZmqFlagIsPassedThrough) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.EncryptMessage(kPingFrame, false, true);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_TRUE(sender.sent[0].isZMQ);
}

TEST(MessageEnvelope, OpensBackToTheFramedMessageByteForByte) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    // A chat text with two- and four-byte characters: the inner length counts UTF-16 units (19 for 23 bytes),
    // while the cipher sees the UTF-8 bytes.
    const std::string chat = MessageBase::frame(wireText("10=603<F>502=caf\xc3\xa9 \xf0\x9f\x98\x80<F>"));
    ASSERT_EQ(chat.substr(0, 4), wireText("<B>19<F>"));
    for (const std::string& framed : {kLoginFrame, kPingFrame, chat}) {
        sender.sent.clear();
        m.EncryptMessage(framed, false, false);
        ASSERT_EQ(sender.sent.size(), 1u);
        EXPECT_EQ(openEncryptedEnvelope(tag27(sender.sent[0].message), kSessionKey), framed);
    }
}

TEST(MessageEnvelope, EachEnvelopeUsesTheKeyInForceWhenWritten) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.EncryptMessage(kPingFrame, false, false);
    const std::string firstKey = sender.sessionKey;
    sender.sessionKey =
        "ioTOsl+OLFOdOGG0DOfmj34KU8x3XEXcqvN4stmSwdX9g5AMN3+RZuWtRU14aVp3+w0Xko4XjeMWN4l8e5rHWw==";
    m.EncryptMessage(kPingFrame, false, false);
    ASSERT_EQ(sender.sent.size(), 2u);

    const std::string a = tag27(sender.sent[0].message);
    const std::string b = tag27(sender.sent[1].message);
    EXPECT_NE(a, b);
    EXPECT_EQ(openEncryptedEnvelope(a, firstKey), kPingFrame);
    EXPECT_EQ(openEncryptedEnvelope(b, sender.sessionKey), kPingFrame);
    EXPECT_NE(openEncryptedEnvelope(b, firstKey), std::optional<std::string>(kPingFrame));

    // A second login after a lost stream still goes out under the product key.
    m.EncryptMessage(kLoginFrame, true, false);
    ASSERT_EQ(sender.sent.size(), 3u);
    EXPECT_EQ(openEncryptedEnvelope(tag27(sender.sent[2].message), kProductKey), kLoginFrame);
}

TEST(MessageEnvelope, NothingGoesOutWithoutSenderOrKey) {
    MessageBase m;
    m.EncryptMessage(kPingFrame, false, false); // no sender: nothing to do, nothing to crash
    EXPECT_EQ(m.messageLength(), 0u);

    RecordingSender sender;
    sender.throwOnKey = true;
    m.setSender(&sender);
    EXPECT_NO_THROW(m.EncryptMessage(kPingFrame, false, false));
    EXPECT_TRUE(sender.sent.empty());

    // A key the cipher refuses: no envelope with an empty or bogus payload goes out.
    sender.throwOnKey = false;
    sender.sessionKey = std::string(platform::Crypto::kMaxPasswordLength + 1, 'k');
    m.EncryptMessage(kPingFrame, false, false);
    EXPECT_TRUE(sender.sent.empty());
}

TEST(MessageEnvelope, TwoFramesInOneEnvelopeComeOutInOrder) {
    RecordingSender sender;
    MessageBase m;
    m.setSender(&sender);
    m.EncryptMessage(kLoginFrame + kPingFrame, false, false);
    ASSERT_EQ(sender.sent.size(), 1u);

    const auto opened = openEncryptedEnvelope(tag27(sender.sent[0].message), kSessionKey);
    ASSERT_TRUE(opened);
    StreamDeframer d;
    const auto frames = d.feed(*opened);
    ASSERT_EQ(frames.size(), 2u);
    MessageBase first, second;
    EXPECT_EQ(first.loadFrame(frames[0]), 32);
    EXPECT_EQ(second.loadFrame(frames[1]), 1018);
    EXPECT_EQ(*first.value(23), "trader1");
    EXPECT_EQ(*second.value(20), "5");
}

} // namespace
