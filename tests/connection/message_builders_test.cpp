#include "connection/message_builders.h"

#include "connection/message_golden.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace tc;

using namespace golden;

TEST(MessageBuilders, EveryBuilderWritesItsOwnTagsInItsOwnOrder) {
    std::set<std::string_view> seen;
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(fmt::format("{} sub-type {}", g.builder, g.sub));
        MessageBase m = messageOf(g.type, g.field, g.sub);
        m.setMessageDataDictionary(everyTag(g.type));
        const ComposedMessage c = composeMessage(m);
        ASSERT_EQ(c.status, ComposeStatus::Built);
        ASSERT_NE(c.layout, nullptr);
        EXPECT_EQ(c.layout->builder, g.builder);
        const std::string expected = body(g.fields);
        EXPECT_EQ(c.framed, asciiFrame(expected));
        EXPECT_EQ(c.bodyLength, expected.size());
        EXPECT_EQ(c.layout->isZMQ(), g.route == Route::Socket || g.route == Route::SocketMultiFrame);
        EXPECT_EQ(c.layout->isInitialRequest(), g.route == Route::Initial);
        EXPECT_EQ(c.layout->receivingStrategy, g.route == Route::SocketMultiFrame ? 1 : 0);
        EXPECT_EQ(c.layout->hook == BuildHook::PingSent, g.type == 1018);
        EXPECT_EQ(layoutNamed(g.builder), c.layout);
        // Composing reads the message without changing it.
        EXPECT_EQ(m.messageDataDictionary(), everyTag(g.type));
        seen.insert(g.builder);
    }
    // All 37 builders are covered, and the code has no others.
    EXPECT_EQ(seen.size(), 37u);
    EXPECT_EQ(messageLayouts().size(), 37u);
    for (const MessageLayout& l : messageLayouts())
        EXPECT_EQ(seen.count(l.builder), 1u) << l.builder;
}

TEST(MessageBuilders, PingFrameCountsThirtyOne) {
    MessageBase m = messageOf(1018);
    m.setValue(10, 1018);
    m.setValue(20, 5);
    m.setValue(21, "20240102030405");
    m.setValue(23, "jdoe"); // the ping lists no user name
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "31\x03"
                        "10=1018\x03"
                        "20=5\x03"
                        "21=20240102030405\x03"
                        "\x02");
    EXPECT_EQ(c.bodyLength, 31u);
}

TEST(MessageBuilders, LoginWithRealisticValues) {
    MessageBase m = messageOf(32);
    m.setValue(10, 32);
    m.setValue(23, "jdoe");
    m.setValue(18, "s3cret!");
    m.setValue(20, "0");
    m.setValue(19, "1");
    m.setValue(563, "TradeDesk");
    m.setValue(114, "4.2.1");
    m.setValue(105, "192.168.1.20");
    m.setValue(1018, "ws-17#Debian GNU/Linux 12");
    m.setValue(504, "John Doe");
    m.setValue(160, "AMP");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "146\x03"
                        "10=32\x03"
                        "23=jdoe\x03"
                        "18=s3cret!\x03"
                        "20=0\x03"
                        "19=1\x03"
                        "563=TradeDesk\x03"
                        "114=4.2.1\x03"
                        "105=192.168.1.20\x03"
                        "1018=ws-17#Debian GNU/Linux 12\x03"
                        "504=John Doe\x03"
                        "160=AMP\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

MessageBase newOrder() {
    MessageBase m = messageOf(60, Sub::NewOrder, 0);
    m.setValue(10, 60);
    m.setValue(34, "100234");
    m.setValue(23, "jdoe");
    m.setValue(33, "512");
    m.setValue(19, "REF77");
    m.setValue(12, "EURUSD");
    m.setValue(32, "29");
    m.setValue(117, "3");
    m.setValue(37, "1.00");
    m.setValue(38, "1.08512");
    m.setValue(39, "");
    m.setValue(40, "");
    m.setValue(90, "0");
    m.setValue(36, "45");
    m.setValue(77, "-1");
    m.setValue(24, "0");
    // 43 left out: no time-in-force value, so it goes out as "(null)".
    m.setValue(56, "1.08510");
    m.setValue(54, "1.08512");
    m.setValue(61, "1.08511");
    m.setValue(60, "1.08730");
    m.setValue(62, "1.08201");
    m.setValue(67, "20240315093000");
    m.setValue(78, "20240315093001");
    return m;
}

TEST(MessageBuilders, NewOrderWithEmptyPricesAndMissingTimeInForce) {
    MessageBase m = newOrder();
    m.setValue(21, "20240315093000"); // put by habit, not part of an order
    m.setValue(20, 7);
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // Tag 60 inside type 60 is the high price; 39 and 40 empty; 43 "(null)"; no 20 or 21.
    EXPECT_EQ(c.framed, "\x01"
                        "212\x03"
                        "10=60\x03"
                        "34=100234\x03"
                        "23=jdoe\x03"
                        "33=512\x03"
                        "19=REF77\x03"
                        "12=EURUSD\x03"
                        "32=29\x03"
                        "117=3\x03"
                        "37=1.00\x03"
                        "38=1.08512\x03"
                        "39=\x03"
                        "40=\x03"
                        "90=0\x03"
                        "36=45\x03"
                        "77=-1\x03"
                        "24=0\x03"
                        "43=(null)\x03"
                        "56=1.08510\x03"
                        "54=1.08512\x03"
                        "61=1.08511\x03"
                        "60=1.08730\x03"
                        "62=1.08201\x03"
                        "67=20240315093000\x03"
                        "78=20240315093001\x03"
                        "\x02");
}

TEST(MessageBuilders, AcknowledgementCarriesEmptyTagAndRecordSeparator) {
    MessageBase m = messageOf(608);
    m.setValue(10, 608);
    m.setValue(507, "");
    m.setValue(505, "Desk\x05"
                    "42");
    m.setValue(504, "jdoe");
    m.setValue(23, "jdoe");
    m.setValue(19, "REF77");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "68\x03"
                        "10=608\x03"
                        "507=\x03"
                        "505=Desk\x05"
                        "42\x03"
                        "504=jdoe\x03"
                        "23=jdoe\x03"
                        "19=REF77\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

TEST(MessageBuilders, NonAsciiLettersCountOneEach) {
    MessageBase m = messageOf(1023, Sub::DataService, 11);
    m.setValue(10, 1023);
    m.setValue(151, "resourcesearch");
    m.setValue(152, "1000");
    m.setValue(153, "1");
    m.setValue(159, "Caf\xC3\xA9 Men\xC3\xBC\x05"
                    "CAL\x06");
    m.setValue(160, 1);
    m.setValue(20, 43);
    m.setValue(115, 901);
    m.setValue(23, "jdoe");
    m.setValue(19, "REF77");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // 118 bytes, but e-acute and u-umlaut count one each.
    EXPECT_EQ(c.bodyLength, 116u);
    EXPECT_EQ(c.framed, "\x01"
                        "116\x03"
                        "10=1023\x03"
                        "151=resourcesearch\x03"
                        "152=1000\x03"
                        "153=1\x03"
                        "159=Caf\xC3\xA9 Men\xC3\xBC\x05"
                        "CAL\x06\x03"
                        "160=1\x03"
                        "20=43\x03"
                        "115=901\x03"
                        "23=jdoe\x03"
                        "19=REF77\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

TEST(MessageBuilders, MissingTagsGoOutAsNull) {
    MessageBase m = messageOf(1002); // nothing in the dictionary, not even the type
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body({"10=(null)", "23=(null)", "19=(null)", "21=(null)"})));
}

TEST(MessageBuilders, TypeTenComesFromTheDictionaryNotTheType) {
    MessageBase m = messageOf(1018);
    m.setValue(10, "1019");
    m.setValue(20, 1);
    m.setValue(21, "20240102030405");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body({"10=1019", "20=1", "21=20240102030405"})));
}

TEST(MessageBuilders, UnknownTypesAndSubtypesHaveNoLayout) {
    for (std::int64_t type : {0, 1, 33, 38, 76, 609, 610, 611, 612, 614, 616, 1019, 1024, -60}) {
        MessageBase m = messageOf(type);
        m.setMessageDataDictionary(everyTag(type));
        const ComposedMessage c = composeMessage(m);
        EXPECT_EQ(c.status, ComposeStatus::NoLayout) << type;
        EXPECT_TRUE(c.framed.empty());
    }
    for (int sub : {2, 3, -1, 16, 1 << 20})
        EXPECT_EQ(composeMessage(messageOf(60, Sub::NewOrder, sub)).status, ComposeStatus::NoLayout) << sub;
    for (int sub : {3, -1, 15, 16, 17})
        EXPECT_EQ(composeMessage(messageOf(72, Sub::EditOrder, sub)).status, ComposeStatus::NoLayout) << sub;
    for (int sub : {14, 15, -1, 16, 31})
        EXPECT_EQ(composeMessage(messageOf(1023, Sub::DataService, sub)).status, ComposeStatus::NoLayout)
            << sub;
}

TEST(MessageBuilders, SubtypeFieldsOfOtherTypesDoNotChooseTheLayout) {
    // A data-service sub-type left over from an earlier request does not disturb an order.
    MessageBase m = messageOf(60, Sub::NewOrder, 1);
    m.setDsrequestType(10);
    m.setEditorderrequestType(0);
    ASSERT_NE(findLayout(m), nullptr);
    EXPECT_EQ(findLayout(m)->builder, "BuildOffsetOrderRequestMessage");
    MessageBase d = messageOf(1023, Sub::DataService, 12);
    d.setNeworderrequestType(5);
    ASSERT_NE(findLayout(d), nullptr);
    EXPECT_EQ(findLayout(d)->builder, "buildDSRequestResourceDownload");
}

TEST(MessageBuilders, NoTwoLayoutsClaimTheSameMessage) {
    for (const MessageLayout& l : messageLayouts()) {
        for (const MessageLayout& other : messageLayouts()) {
            if (&other == &l || other.type != l.type)
                continue;
            // Two rows of one type must both be chosen by the same sub-type field, on disjoint values.
            EXPECT_NE(l.subtypeField, SubtypeField::None) << l.builder;
            EXPECT_EQ(l.subtypeField, other.subtypeField) << l.builder;
            EXPECT_EQ(l.subtypeMask & other.subtypeMask, 0) << l.builder << " / " << other.builder;
        }
        std::set<std::uint16_t> unique(l.tags.view().begin(), l.tags.view().end());
        EXPECT_EQ(unique.size(), l.tags.count) << l.builder << " lists a tag twice";
        EXPECT_EQ(l.tags.view().front(), 10) << l.builder;
    }
}

// Separator bytes in values: refused, never cleaned.
struct Poisoned {
    std::int64_t type;
    Sub field;
    int sub;
    int tag;
    std::string value;
    ComposeStatus expected;
};

TEST(MessageBuilders, ValuesThatWouldCutTheFrameAreRefused) {
    const Poisoned cases[] = {
        {60, Sub::NewOrder, 0, 38,
         "1.08\x03"
         "60=9",
         ComposeStatus::SeparatorInValue},
        {60, Sub::NewOrder, 0, 37, "\x01", ComposeStatus::SeparatorInValue},
        {72, Sub::EditOrder, 2, 12, "EUR\x02USD", ComposeStatus::SeparatorInValue},
        {603, Sub::None, 0, 17, "hi\x04", ComposeStatus::SeparatorInValue},
        // Record separators outside the record text would cut the server's tables.
        {603, Sub::None, 0, 17,
         "a\x05"
         "b",
         ComposeStatus::SeparatorInValue},
        {37, Sub::None, 0, 103, "pw\x06", ComposeStatus::SeparatorInValue},
        {1040, Sub::None, 0, 12, "X\x07", ComposeStatus::SeparatorInValue},
        // Frame bytes are refused inside record texts too.
        {1023, Sub::DataService, 9, 159,
         "7\x05"
         "1001\x03\x06",
         ComposeStatus::SeparatorInValue},
        {82, Sub::None, 0, 583, "\x01", ComposeStatus::SeparatorInValue},
        {608, Sub::None, 0, 505,
         "R\x04"
         "1",
         ComposeStatus::SeparatorInValue},
        // A record text is only allowed where its own layout carries it: 159 of a plain request is text.
        {1023, Sub::DataService, 0, 23, "j\x05", ComposeStatus::SeparatorInValue},
        {1026, Sub::None, 0, 1139, "Jos\xC3", ComposeStatus::InvalidText},
        {617, Sub::None, 0, 504, "\xFF", ComposeStatus::InvalidText},
    };
    for (const Poisoned& p : cases) {
        SCOPED_TRACE(fmt::format("type {} tag {}", p.type, p.tag));
        MessageBase m = messageOf(p.type, p.field, p.sub);
        m.setMessageDataDictionary(everyTag(p.type));
        m.setValue(p.tag, p.value);
        const ComposedMessage c = composeMessage(m);
        EXPECT_EQ(c.status, p.expected);
        EXPECT_EQ(c.refusedTag, p.tag);
        EXPECT_TRUE(c.framed.empty());
    }
}

TEST(MessageBuilders, RecordSeparatorsPassInRecordTexts) {
    struct Record {
        std::int64_t type;
        Sub field;
        int sub;
        int tag;
    };
    const std::string record = "7\x05"
                               "1001\x05"
                               "2\x05\x06"
                               "x\x07";
    for (const Record& r : {Record{1023, Sub::DataService, 9, 159}, Record{1023, Sub::DataService, 11, 159},
                            Record{1023, Sub::DataService, 12, 159}, Record{608, Sub::None, 0, 505},
                            Record{82, Sub::None, 0, 583}, Record{1052, Sub::None, 0, 583},
                            Record{693, Sub::None, 0, 1059}, Record{77, Sub::None, 0, 91}}) {
        SCOPED_TRACE(fmt::format("type {} tag {}", r.type, r.tag));
        MessageBase m = messageOf(r.type, r.field, r.sub);
        m.setMessageDataDictionary(everyTag(r.type));
        m.setValue(r.tag, record);
        const ComposedMessage c = composeMessage(m);
        ASSERT_EQ(c.status, ComposeStatus::Built);
        const std::string field = fmt::format("{}={}\x03", r.tag, record);
        EXPECT_NE(c.framed.find(field), std::string::npos);
    }
}

TEST(MessageBuilders, AnUnlistedTagMayHoldAnything) {
    // Only what reaches the wire is checked: tag 23 is not part of a room request.
    MessageBase m = messageOf(601);
    m.setMessageDataDictionary(everyTag(601));
    m.setValue(23, "bad\x03\x01");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed.find("23="), std::string::npos);
}

TEST(MessageBuilders, OverlongBodyIsRefused) {
    MessageBase m = messageOf(603);
    m.setMessageDataDictionary(everyTag(603));
    m.setValue(17, std::string(kMaxMessageBody, 'a'));
    const ComposedMessage c = composeMessage(m);
    EXPECT_EQ(c.status, ComposeStatus::TooLong);
    EXPECT_EQ(c.refusedTag, 17);
    // Just under the ceiling still goes.
    m.setValue(17, std::string(kMaxMessageBody / 2, 'a'));
    EXPECT_EQ(composeMessage(m).status, ComposeStatus::Built);
}

} // namespace
