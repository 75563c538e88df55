#include "support/wire_text.h"
#include "wire/message_base.h"

#include "wire/stream_deframer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tc;
using testing_support::wireText;

using Dict = MessageBase::Dictionary;

TEST(MessageFrame, PingBodyIsFramedWithItsLength) {
    const std::string body = wireText("10=1018<F>20=5<F>21=20240102030405<F>");
    ASSERT_EQ(body.size(), 31u);
    EXPECT_EQ(MessageBase::frame(body), wireText("<B>31<F>") + body + wireText("<E>"));
    EXPECT_EQ(MessageBase::frameLength(body), 31u);
}

TEST(MessageFrame, LengthCountsUtf16UnitsNotBytes) {
    // e-acute: two bytes, one unit. Euro sign: three bytes, one unit. An emoji: four bytes, two units.
    EXPECT_EQ(MessageBase::frameLength(wireText("27=caf\xc3\xa9<F>")), 8u);
    EXPECT_EQ(MessageBase::frame(wireText("27=caf\xc3\xa9<F>")), wireText("<B>8<F>27=caf\xc3\xa9<F><E>"));
    EXPECT_EQ(MessageBase::frameLength("\xE2\x82\xAC"), 1u);
    EXPECT_EQ(MessageBase::frameLength("\xF0\x9F\x98\x80"), 2u);
    EXPECT_EQ(MessageBase::frame(""), wireText("<B>0<F><E>"));
}

TEST(MessageFrame, AppendFrameAddsToWhatIsThere) {
    std::string out = "x";
    MessageBase::appendFrame(out, wireText("10=1<F>"));
    MessageBase::appendFrame(out, wireText("10=2<F>"));
    EXPECT_EQ(out, wireText("x<B>5<F>10=1<F><E><B>5<F>10=2<F><E>"));
}

TEST(MessageFrame, FrameWrittenThenDeframedThenReadGivesTheFields) {
    MessageBase out;
    const std::string body = wireText("10=603<F>502=room<F>105=hi \xc3\xa9 105=x<F>");
    StreamDeframer d;
    const auto frames = d.feed(MessageBase::frame(body));
    ASSERT_EQ(frames.size(), 1u);
    MessageBase in;
    EXPECT_EQ(in.loadFrame(frames[0]), 603);
    EXPECT_EQ(in.messageType(), 603);
    EXPECT_EQ(in.messageDataDictionary(), (Dict{{10, "603"}, {105, "hi \xC3\xA9 105=x"}, {502, "room"}}));
    EXPECT_EQ(in.messageArray(),
              (std::vector<std::string>{"10=603", "502=room", "105=hi \xC3\xA9 105=x", ""}));
}

TEST(FieldReader, LastOccurrenceWins) {
    MessageBase m;
    m.setMessage({"10=1023", "20=7", "10=1024", ""});
    EXPECT_EQ(m.messageDataDictionary(), (Dict{{10, "1024"}, {20, "7"}}));
}

TEST(FieldReader, StopsAtFirstPieceWithoutValue) {
    MessageBase m;
    m.setMessage({"10=1023", "abc", "20=7", ""});
    EXPECT_EQ(m.messageDataDictionary(), (Dict{{10, "1023"}}));
    // The empty piece between two fields stops reading too.
    MessageBase n;
    n.setMessage({"10=1", "", "20=2"});
    EXPECT_EQ(n.messageDataDictionary(), (Dict{{10, "1"}}));
}

TEST(FieldReader, ValueIsTheRestOfTheField) {
    MessageBase m;
    m.setMessage({"27=ab=cd", ""});
    EXPECT_EQ(m.messageDataDictionary(), (Dict{{27, "ab=cd"}}));
    // A value holding its own tag prefix stays whole: a chat line may quote "27=".
    MessageBase n;
    n.setMessage({"27=abc27=d", ""});
    EXPECT_EQ(n.messageDataDictionary(), (Dict{{27, "abc27=d"}}));
}

TEST(FieldReader, OddTagsFollowTheLeadingIntegerRule) {
    MessageBase m;
    // Leading zero: the tag is 5 and its prefix "5=" is found one character in.
    // Blanks and a sign before the digits are read as the integer reading does.
    m.setMessage({"05=a", " 6=b", "-7=c", "8=", "0=z", ""});
    EXPECT_EQ(m.messageDataDictionary(), (Dict{{-7, "c"}, {0, "z"}, {5, "a"}, {6, "b"}, {8, ""}}));
    // No digits: tag 0, whose prefix "0=" is absent.
    MessageBase n;
    n.setMessage({"=x", "1=y"});
    EXPECT_TRUE(n.messageDataDictionary().empty());
    // A tag beyond the integer range never finds its (saturated) prefix.
    MessageBase o;
    o.setMessage({"99999999999=big", "1=y"});
    EXPECT_TRUE(o.messageDataDictionary().empty());
}

TEST(FieldReader, BodyReaderMatchesFieldStrings) {
    const std::vector<std::string> bodies = {wireText("10=62<F>73=24<F>79=abc<F>"),
                                             wireText("10=1<F>x<F>20=2<F>"), "", "10=9",
                                             wireText("05=a<F>5=b=5=c<F>")};
    for (const std::string& body : bodies) {
        std::vector<std::string> pieces;
        std::size_t pos = 0;
        for (std::size_t at; (at = body.find('\x03', pos)) != std::string::npos; pos = at + 1)
            pieces.push_back(body.substr(pos, at - pos));
        pieces.push_back(body.substr(pos));
        MessageBase a, b;
        a.setMessage(pieces);
        b.setMessageFromBody(body);
        EXPECT_EQ(a.messageDataDictionary(), b.messageDataDictionary()) << body;
    }
}

TEST(FieldReader, LoadFrameWithoutFieldEndHasNoFields) {
    MessageBase m;
    m.setValue(1, "stale");
    EXPECT_EQ(m.loadFrame("12"), 0);
    EXPECT_TRUE(m.messageArray().empty());
    EXPECT_TRUE(m.messageDataDictionary().empty());
    EXPECT_TRUE(MessageBase::fieldsOfFrame("12").empty());
    EXPECT_EQ(MessageBase::fieldsOfFrame(wireText("12<F>")), std::vector<std::string>{""});
}

TEST(FieldIterator, WalksPiecesWithoutCopying) {
    const std::string body = wireText("10=1<F>27=a=b<F>junk<F>");
    wire::FieldIterator it(body);
    wire::Field f;
    std::vector<std::pair<int, std::string>> seen;
    std::vector<bool> has;
    while (it.next(f)) {
        EXPECT_GE(f.text.data(), body.data());
        EXPECT_LE(f.text.data() + f.text.size(), body.data() + body.size());
        seen.emplace_back(f.tag, std::string(f.value));
        has.push_back(f.hasValue);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{10, "1"}, {27, "a=b"}, {0, ""}, {0, ""}}));
    EXPECT_EQ(has, (std::vector<bool>{true, true, false, false}));

    int count = 0;
    wire::forEachField(body, [&](const wire::Field&) { return ++count < 2; });
    EXPECT_EQ(count, 2);
}

// Field ends are found a block of bytes at a time: the pieces must match a plain split wherever the
// ends fall, before, on and after the block edges, up to a body with no end at all.
TEST(FieldIterator, PiecesMatchAPlainSplitWhereverTheEndsFall) {
    auto plainSplit = [](const std::string& body) {
        std::vector<std::string> pieces(1);
        for (char c : body) {
            if (c == '\x03')
                pieces.emplace_back();
            else
                pieces.back() += c;
        }
        return pieces;
    };
    for (std::size_t length : {1u, 15u, 16u, 17u, 63u, 64u, 65u, 127u, 128u, 129u, 300u}) {
        for (std::size_t step : {1u, 2u, 7u, 16u, 64u, 1000u}) {
            std::string body;
            for (std::size_t i = 0; i < length; ++i)
                body += (i + 1) % step == 0 ? '\x03' : static_cast<char>('a' + i % 26);
            std::vector<std::string> pieces;
            wire::forEachField(body, [&](const wire::Field& f) { pieces.emplace_back(f.text); });
            EXPECT_EQ(pieces, plainSplit(body)) << "length " << length << " step " << step;
        }
    }
    // A piece that straddles a block edge keeps its tag and value.
    const std::string longValue(100, 'v');
    const std::string body = "10=1\x03" + std::string("27=") + longValue + "\x03" + "34=x";
    std::vector<std::pair<int, std::string>> seen;
    wire::forEachField(body, [&](const wire::Field& f) { seen.emplace_back(f.tag, std::string(f.value)); });
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{10, "1"}, {27, longValue}, {34, "x"}}));
}

} // namespace
